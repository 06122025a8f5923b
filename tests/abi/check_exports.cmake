# Compares the demangled dynamic symbols that the library defines with the expected list.

# nm_lines(<out> <nm options>...): the lines nm prints for the library, as a list.
function(nm_lines out)
  execute_process(COMMAND ${NM} ${ARGN} ${LIBRARY} OUTPUT_VARIABLE nm_out RESULT_VARIABLE nm_rc)
  if(NOT nm_rc EQUAL 0)
    message(FATAL_ERROR "nm failed on ${LIBRARY}")
  endif()
  string(REPLACE "\n" ";" lines "${nm_out}")
  set(${out} "${lines}" PARENT_SCOPE)
endfunction()

set(actual "")
nm_lines(nm_lines -D --defined-only --demangle)
foreach(line IN LISTS nm_lines)
  # "<address> <type> <name>[@@VERSION]"; absolute symbols (type A) are the version nodes.
  if(NOT line MATCHES "^[0-9a-fA-F]+ ([A-Za-z]) (.*)$")
    continue()
  endif()
  set(type ${CMAKE_MATCH_1})
  set(name "${CMAKE_MATCH_2}")
  if(type STREQUAL "A")
    continue()
  endif()
  string(REGEX REPLACE "@@?[A-Za-z0-9_.]+$" "" name "${name}")
  list(APPEND actual "${name}")
endforeach()

file(GLOB lists ${ABI_DIR}/*.txt)
set(expected "")
foreach(list_file IN LISTS lists)
  file(STRINGS ${list_file} lines)
  foreach(line IN LISTS lines)
    string(STRIP "${line}" line)
    if(NOT line STREQUAL "" AND NOT line MATCHES "^#")
      list(APPEND expected "${line}")
    endif()
  endforeach()
endforeach()

list(SORT actual)
list(SORT expected)
set(missing ${expected})
list(REMOVE_ITEM missing ${actual})
set(unexpected ${actual})
list(REMOVE_ITEM unexpected ${expected})
if(missing OR unexpected)
  string(REPLACE ";" "\n  " missing "${missing}")
  string(REPLACE ";" "\n  " unexpected "${unexpected}")
  message(FATAL_ERROR "Exported symbols differ from abi/*.txt\nmissing:\n  ${missing}\nunexpected:\n  ${unexpected}")
endif()
list(LENGTH actual count)
message(STATUS "${count} exported symbols, as expected")

# No writable data of the library's own. Every function is a pure computation or a fresh read of
# the machine, so a variable in .data or .bss can only be a cache or a counter, and an
# unsynchronised one races between threads. Relocated constants (.data.rel.ro: typeinfo, tables
# of pointers) are read-only once loaded and pass. The symbols below come from the toolchain and
# appear in every shared library it links:
#   __dso_handle               the C runtime's identity of this object, for __cxa_atexit
#   completed.0                the C runtime's flag that the object's destructors have run
#   __TMC_END__                end marker of the transactional-memory clone table
#   DW.ref.__gxx_personality_v0  the unwinder's reference to the C++ exception personality
set(toolchain_data __dso_handle completed.0 __TMC_END__ DW.ref.__gxx_personality_v0)
set(writable "")
nm_lines(nm_lines --format=sysv)
foreach(line IN LISTS nm_lines)
  # "name |value| class |type|size|line|section"
  if(NOT line MATCHES "^([^|]*)\\|[^|]*\\| *([bBdD]) *\\|[^|]*\\|[^|]*\\|[^|]*\\|(\\.data|\\.bss)(\\..*)?$")
    continue()
  endif()
  string(STRIP "${CMAKE_MATCH_1}" name)
  set(section "${CMAKE_MATCH_3}${CMAKE_MATCH_4}")
  list(FIND toolchain_data "${name}" known)
  if(section MATCHES "^\\.data\\.rel\\.ro" OR NOT known EQUAL -1)
    continue()
  endif()
  list(APPEND writable "${name} (${section})")
endforeach()
if(writable)
  string(REPLACE ";" "\n  " writable "${writable}")
  message(FATAL_ERROR "The library has writable data of its own (a cache or counter shared by "
                      "all threads?):\n  ${writable}")
endif()
