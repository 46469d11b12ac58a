# Warning flags for every target of the project: scrivlet_warnings(<target>).
function(scrivlet_warnings target)
  target_compile_options(${target} PRIVATE
    -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Wold-style-cast
    -Wcast-align -Woverloaded-virtual -Wformat=2 -Wimplicit-fallthrough
    -Wmissing-declarations)
  if(ENABLE_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()
