# The manual page renders without warnings, names every command and option of tovinfo's help and
# of each command's help, and carries the version tovinfo, its headers and the library report.
# Expects TOVINFO, PAGE (empty when the build made none), MAN and VERSION (the project's).
cmake_minimum_required(VERSION 3.25)
if(NOT PAGE)
  message("SKIPPED: no manual page was built (help2man or gzip is not installed)")
  return()
endif()
if(NOT MAN)
  message("SKIPPED: man is not installed (Debian package man-db); the page is unchecked")
  return()
endif()

execute_process(COMMAND ${CMAKE_COMMAND} -E env LC_ALL=C MANWIDTH=200 ${MAN} --warnings -l ${PAGE}
                RESULT_VARIABLE rc OUTPUT_VARIABLE page ERROR_VARIABLE warnings)
if(NOT rc EQUAL 0 OR NOT warnings STREQUAL "")
  message(FATAL_ERROR "man -l ${PAGE} fails or warns (status ${rc}):\n${warnings}")
endif()
string(ASCII 8 backspace)
string(REGEX REPLACE ".${backspace}" "" page "${page}")  # overstrike bold, if man kept it
string(REGEX REPLACE "[ \n]+" " " page " ${page} ")

# Every command listed in the main help, and every option of the main help and the commands' help.
execute_process(COMMAND ${TOVINFO} --help OUTPUT_VARIABLE help)
string(REGEX REPLACE "^.*\nCommands[^\n]*\n" "" listing "${help}")
string(REGEX MATCHALL "(^|\n)  [a-z]+ " commands "${listing}")
# options(<out> <text>): words starting with a dash after a blank, '[', '(' or '|'. Brackets
# become blanks first: in a CMake list they would hide the separators.
function(options out text)
  string(REGEX REPLACE "[][()|\n]" " " text "${text}")
  string(REGEX MATCHALL " --?[A-Za-z][A-Za-z0-9-]*" found " ${text}")
  list(TRANSFORM found STRIP)
  set(${out} ${found} PARENT_SCOPE)
endfunction()
options(words "${help}")
foreach(command IN LISTS commands)
  string(STRIP "${command}" command)
  list(APPEND words ${command})
  execute_process(COMMAND ${TOVINFO} ${command} --help OUTPUT_VARIABLE command_help)
  options(command_options "${command_help}")
  list(APPEND words ${command_options})
endforeach()
list(REMOVE_DUPLICATES words)
list(LENGTH commands command_count)
if(command_count LESS 1 OR NOT "--help" IN_LIST words)
  message(FATAL_ERROR "found no commands or options in tovinfo --help:\n${help}")
endif()
set(missing "")
foreach(word IN LISTS words)
  if(NOT page MATCHES "[ ([|]${word}[] ),.|]")  # page: blanks collapsed, brackets kept
    list(APPEND missing ${word})
  endif()
endforeach()
if(missing)
  message(FATAL_ERROR "the manual page lacks: ${missing}")
endif()

# One version: the page's footer, tovinfo's own, its headers' and the loaded library's.
execute_process(COMMAND ${TOVINFO} --version OUTPUT_VARIABLE version_text)
if(NOT version_text STREQUAL "tovinfo ${VERSION}\nheaders ${VERSION}\nlibrary ${VERSION}\n"
   OR NOT page MATCHES " tovinfo ${VERSION} ")
  message(FATAL_ERROR "versions disagree with ${VERSION}: tovinfo --version says\n${version_text}")
endif()
list(JOIN words " " checked)
message(STATUS "${PAGE} names ${checked}; version ${VERSION}")
