# Writes the two files Debian policy asks of every package in /usr/share/doc/<package>/, from the
# project's own LICENSE and CHANGELOG.md so that nothing is written twice:
#   copyright           machine-readable (DEP-5): the copyright line and licence text of LICENSE
#   changelog.Debian.gz one entry per released section of CHANGELOG.md, newest first
# and lintian-overrides (installed as /usr/share/lintian/overrides/<package>).
# Run with cmake -P; expects LICENSE, CHANGELOG, SPDX, UPSTREAM_NAME, SOURCE_PACKAGE, DEB_RELEASE,
# MAINTAINER, GZIP and OUTPUT_DIR.
cmake_minimum_required(VERSION 3.25)

# wrap(<out> <text> <first prefix> <next prefix>): words of text in lines of at most 79 columns.
function(wrap out text first next)
  string(REPLACE ";" "<semicolon>" text "${text}")  # a semicolon would split the list of words
  string(REGEX REPLACE "[ \n]+" ";" words "${text}")
  set(result "${first}")
  set(line "${first}")
  set(fresh TRUE)
  foreach(word IN LISTS words)
    string(LENGTH "${line} ${word}" length)
    if(NOT fresh AND length GREATER 79)
      string(APPEND result "\n${next}")
      set(line "${next}")
      set(fresh TRUE)
    endif()
    if(fresh)
      string(APPEND result "${word}")
      string(APPEND line "${word}")
      set(fresh FALSE)
    else()
      string(APPEND result " ${word}")
      string(APPEND line " ${word}")
    endif()
  endforeach()
  string(REPLACE "<semicolon>" ";" result "${result}")
  set(${out} "${result}\n" PARENT_SCOPE)
endfunction()

# copyright: LICENSE is a title, the copyright line, then the licence text.
file(READ ${LICENSE} license)
if(NOT license MATCHES "\nCopyright \\(c\\) ([^\n]+)\n\n(.*)$")
  message(FATAL_ERROR "${LICENSE} has no 'Copyright (c) ...' line followed by the licence text")
endif()
set(holder "${CMAKE_MATCH_1}")
string(STRIP "${CMAKE_MATCH_2}" terms)
# DEP-5 continuation lines start with a space; an empty line of the text is a lone dot.
string(REGEX REPLACE "\n\n" "\n.\n" terms "${terms}")
string(REGEX REPLACE "\n" "\n " terms "${terms}")
file(WRITE ${OUTPUT_DIR}/copyright
     "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/\n"
     "Upstream-Name: ${UPSTREAM_NAME}\nUpstream-Contact: ${MAINTAINER}\n\n"
     "Files: *\nCopyright: ${holder}\nLicense: ${SPDX}\n ${terms}\n")

# changelog.Debian: "## [X.Y.Z] - YYYY-MM-DD" opens a release, "### Kind" a group, "- " an entry
# whose text continues on the indented lines below it. The unreleased section is not shipped.
file(STRINGS ${CHANGELOG} lines)
set(entries "")
set(version "")
set(changelog "")
macro(finish_release)
  if(version)
    execute_process(COMMAND date -u -R -d "${date}" OUTPUT_VARIABLE stamp RESULT_VARIABLE rc
                    OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(NOT rc EQUAL 0 OR NOT entries)
      message(FATAL_ERROR "${CHANGELOG}: release ${version} has a bad date or no entries")
    endif()
    string(APPEND changelog "${SOURCE_PACKAGE} (${version}-${DEB_RELEASE}) unstable; urgency=medium\n\n"
           "${entries}\n -- ${MAINTAINER}  ${stamp}\n\n")
  endif()
  set(entries "")
  set(version "")
endmacro()
set(entry "")
set(kind "")
macro(finish_entry)
  if(entry AND version)
    string(REPLACE "`" "" entry "${entry}")
    wrap(wrapped "${kind}: ${entry}" "  * " "    ")
    string(APPEND entries "${wrapped}")
  endif()
  set(entry "")
endmacro()
foreach(line IN LISTS lines)
  if(line MATCHES "^## ")
    finish_entry()
    finish_release()
    if(line MATCHES "^## \\[([0-9]+\\.[0-9]+\\.[0-9]+)\\] - ([0-9]+-[0-9]+-[0-9]+)$")
      set(version ${CMAKE_MATCH_1})
      set(date ${CMAKE_MATCH_2})
    endif()
  elseif(line MATCHES "^### (.*)$")
    finish_entry()
    set(kind "${CMAKE_MATCH_1}")
  elseif(line MATCHES "^- (.*)$")
    finish_entry()
    set(entry "${CMAKE_MATCH_1}")
  elseif(line MATCHES "^  +(.*)$" AND entry)
    string(APPEND entry " ${CMAKE_MATCH_1}")
  endif()
endforeach()
finish_entry()
finish_release()
if(NOT changelog)
  message(FATAL_ERROR "${CHANGELOG} has no released version")
endif()
string(REGEX REPLACE "\n\n$" "\n" changelog "${changelog}")
file(WRITE ${OUTPUT_DIR}/changelog.Debian "${changelog}")
execute_process(COMMAND ${GZIP} -9 -n -f ${OUTPUT_DIR}/changelog.Debian RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "gzip failed on ${OUTPUT_DIR}/changelog.Debian")
endif()

# lintian expects the first Debian upload of a package to close its intent-to-package bug; these
# packages come from the project itself, not from the Debian archive, so there is none.
file(WRITE ${OUTPUT_DIR}/lintian-overrides
     "# Distributed by the project, not through the Debian archive: no intent-to-package bug.\n"
     "initial-upload-closes-no-bugs\n")
