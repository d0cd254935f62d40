# The project's own targets: public headers included by path from the
# repository root, and warnings as errors (not on third-party code such as
# GoogleTest built from source for the Windows build).
function(mc_strict target)
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "STATIC_LIBRARY" OR type STREQUAL "OBJECT_LIBRARY")
    target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR})
  else()
    target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR})
  endif()
  target_compile_options(${target} PRIVATE -Wall -Wextra)
  set_target_properties(${target} PROPERTIES COMPILE_WARNING_AS_ERROR ON)
endfunction()
