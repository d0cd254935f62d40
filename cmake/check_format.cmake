# Fails when a C++ source or header of the repository is not formatted as
# .clang-format says, naming each such file. Run by CTest:
#   cmake -DCLANG_FORMAT=clang-format -DSOURCE_DIR=<repository> -P check_format.cmake
file(GLOB folders LIST_DIRECTORIES true RELATIVE ${SOURCE_DIR} ${SOURCE_DIR}/*)
list(FILTER folders EXCLUDE REGEX "^(build|\\.)")
set(sources "")
foreach(folder IN LISTS folders)
  if(IS_DIRECTORY ${SOURCE_DIR}/${folder})
    file(GLOB_RECURSE found RELATIVE ${SOURCE_DIR} ${SOURCE_DIR}/${folder}/*.cpp
         ${SOURCE_DIR}/${folder}/*.h)
    list(APPEND sources ${found})
  endif()
endforeach()
execute_process(COMMAND ${CLANG_FORMAT} --dry-run --Werror ${sources}
                WORKING_DIRECTORY ${SOURCE_DIR} RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "clang-format: the files above differ from .clang-format's layout "
                      "(fix with: clang-format -i FILE)")
endif()
