# Installs the library component of the build in BUILD_DIR into a fresh
# prefix under WORK_DIR, builds examples/cpp against it twice (with
# find_package(mcubes) and with pkg-config) and runs both programs.
#   cmake -DBUILD_DIR=... -DSOURCE_DIR=... -DWORK_DIR=... -DCXX=c++ -P installed_example.cmake
function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    list(JOIN ARGN " " command)
    message(FATAL_ERROR "failed (${result}): ${command}")
  endif()
endfunction()

set(prefix ${WORK_DIR}/prefix)
file(REMOVE_RECURSE ${WORK_DIR})
run(${CMAKE_COMMAND} --install ${BUILD_DIR} --component library --prefix ${prefix})
# Only the public headers are installed.
file(GLOB_RECURSE headers RELATIVE ${prefix}/include ${prefix}/include/*)
list(SORT headers)
if(NOT headers STREQUAL "mcubes/error.h;mcubes/mcubes.h;mcubes/mesh.h;mcubes/meshing.h;mcubes/pieces.h;mcubes/surface.h;mcubes/version.h;mcubes/volume.h")
  message(FATAL_ERROR "installed headers: ${headers}")
endif()

run(${CMAKE_COMMAND} -S ${SOURCE_DIR}/examples/cpp -B ${WORK_DIR}/build -DCMAKE_BUILD_TYPE=Release
    -DCMAKE_PREFIX_PATH=${prefix} -DCMAKE_CXX_COMPILER=${CXX})
run(${CMAKE_COMMAND} --build ${WORK_DIR}/build)
run(${WORK_DIR}/build/sphere_mesh ${WORK_DIR}/sphere.obj)

file(GLOB_RECURSE pcFiles ${prefix}/*/mcubes.pc)
get_filename_component(pcDir "${pcFiles}" DIRECTORY)
set(ENV{PKG_CONFIG_PATH} ${pcDir})
execute_process(COMMAND pkg-config --cflags --libs mcubes OUTPUT_VARIABLE flags
                OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
separate_arguments(flags UNIX_COMMAND "${flags}")
run(${CXX} ${SOURCE_DIR}/examples/cpp/sphere_mesh.cpp -o ${WORK_DIR}/sphere_mesh_pc ${flags})
run(${WORK_DIR}/sphere_mesh_pc ${WORK_DIR}/sphere_pc.obj)
