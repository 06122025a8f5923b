# Warning flags shared by every target of the project (library, tests, tools).
add_library(tov_warnings INTERFACE)
target_compile_options(tov_warnings INTERFACE -Wall -Wextra -Wpedantic -Wshadow)
if(TOV_WERROR)
  target_compile_options(tov_warnings INTERFACE -Werror)
endif()
