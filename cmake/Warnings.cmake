# Warnings are errors on every compiler the project builds with.
function(fwu_set_warnings target)
  target_compile_options(${target} PRIVATE
    -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Woverloaded-virtual -Wcast-qual
    -Wformat -Wformat-security -Wimplicit-fallthrough -Wmissing-declarations -Werror)
endfunction()
