# Writes the manual page tovinfo.1.gz from tovinfo's own help, so the page cannot fall behind the
# program: help2man turns `tovinfo --help` into the page, and each command listed there adds a
# section holding its `tovinfo COMMAND --help` verbatim. Run with cmake -P; expects TOVINFO,
# HELP2MAN, GZIP, CHANGELOG (CHANGELOG.md: the date of the page is its newest release's date, so
# the page is the same on every rebuild) and OUTPUT (the .gz file).
cmake_minimum_required(VERSION 3.25)

function(run_tovinfo out)
  execute_process(COMMAND ${TOVINFO} ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE text)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "tovinfo ${ARGN} failed")
  endif()
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

# The commands are the indented first words of the lines under "Commands" in the main help.
run_tovinfo(help --help)
string(REGEX REPLACE "^.*\nCommands[^\n]*\n" "" listing "${help}")
string(REGEX MATCHALL "(^|\n)  [a-z]+ " entries "${listing}")
set(commands "")
foreach(entry IN LISTS entries)
  string(STRIP "${entry}" command)
  list(APPEND commands ${command})
endforeach()
if(NOT commands)
  message(FATAL_ERROR "no commands found in tovinfo --help:\n${help}")
endif()

# Roff: a backslash is \e, a hyphen that stands for an option character \-, a line starting with
# a dot or apostrophe would be a request.
set(include_text "[COMMANDS]\n")
foreach(command IN LISTS commands)
  run_tovinfo(text ${command} --help)
  string(REPLACE "\\" "\\e" text "${text}")
  string(REPLACE "-" "\\-" text "${text}")
  string(REGEX REPLACE "(^|\n)([.'])" "\\1\\\\&\\2" text "${text}")
  string(APPEND include_text ".SS ${command}\n.nf\n${text}.fi\n")
endforeach()
string(APPEND include_text "[EXIT STATUS]\n0 on success; 2 for a malformed command line, after one line on standard\n"
       "error that names the bad argument.\n")
get_filename_component(work ${OUTPUT} DIRECTORY)
file(MAKE_DIRECTORY ${work})
file(WRITE ${work}/tovinfo.h2m "${include_text}")

# The page's version is the first line of tovinfo --version, its date the newest release's.
run_tovinfo(version --version)
string(REGEX MATCH "^tovinfo ([^\n]+)" ignored "${version}")
set(version ${CMAKE_MATCH_1})
file(STRINGS ${CHANGELOG} releases REGEX "^## \\[[0-9.]+\\] - [0-9]+-[0-9]+-[0-9]+$")
list(GET releases 0 newest)
string(REGEX MATCH "[0-9]+-[0-9]+-[0-9]+$" date "${newest}")
execute_process(COMMAND date -u -d "${date}" +%s OUTPUT_VARIABLE epoch OUTPUT_STRIP_TRAILING_WHITESPACE
                RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "cannot read the release date '${date}' of ${CHANGELOG}")
endif()

string(REGEX REPLACE "\\.gz$" "" page ${OUTPUT})
execute_process(COMMAND ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=${epoch}
                        ${HELP2MAN} --no-info --section 1 --version-string ${version}
                        --name "show what the tov_core library computes" --include ${work}/tovinfo.h2m
                        --output ${page} ${TOVINFO}
                RESULT_VARIABLE rc ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "help2man failed:\n${err}")
endif()
# Debian wants manual pages compressed at the highest level, without a time stamp (-n).
execute_process(COMMAND ${GZIP} -9 -n -f ${page} RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "gzip failed on ${page}")
endif()
