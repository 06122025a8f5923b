# Builds the linker version script from the exported-symbol lists in abi/. Each non-empty line
# that does not start with '#' is one demangled C++ name; everything else stays local, which
# also keeps weak std:: template instances from leaking out of the library.
file(GLOB lists ${ABI_DIR}/*.txt)
list(SORT lists)
set(names "")
foreach(list IN LISTS lists)
  file(STRINGS ${list} lines)
  foreach(line IN LISTS lines)
    string(STRIP "${line}" line)
    if(line STREQUAL "" OR line MATCHES "^#")
      continue()
    endif()
    string(APPEND names "      \"${line}\";\n")
  endforeach()
endforeach()
file(WRITE ${OUTPUT}.tmp "TOV_CORE_0 {\n  global:\n    extern \"C++\" {\n${names}    };\n  local: *;\n};\n")
file(COPY_FILE ${OUTPUT}.tmp ${OUTPUT} ONLY_IF_DIFFERENT)
