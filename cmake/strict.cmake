# Warnings as errors on the project's own targets (not on third-party code
# such as GoogleTest built from source for the Windows build).
function(mc_strict target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Werror)
endfunction()
