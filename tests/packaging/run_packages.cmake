# Driven by ctest: builds the three .deb packages with `cmake --preset deb` and cpack, unpacks
# them into a scratch root, checks the runtime package's contents and the dependencies, builds the
# consumer against the root both ways and runs the packaged tovinfo. Runs lintian where installed
# and fails on any tag it prints.
include(${SOURCE_DIR}/consumer_routes.cmake)

foreach(tool dpkg-deb dpkg-shlibdeps file readelf help2man gzip)
  find_program(path_of_${tool} ${tool} NO_CACHE)
  if(NOT path_of_${tool})
    message("SKIPPED: ${tool} is not installed (Debian packages dpkg-dev, file, binutils, help2man)")
    return()
  endif()
endforeach()

file(REMOVE_RECURSE ${WORK_DIR})
set(build ${WORK_DIR}/build)
run(${CMAKE_COMMAND} -S ${TOV_SOURCE_DIR} --preset deb -B ${build} -G ${GENERATOR} -DCMAKE_CXX_COMPILER=${CXX})
run(${CMAKE_COMMAND} --build ${build} -j2)
run(${CMAKE_CPACK_COMMAND} --config ${build}/CPackConfig.cmake -B ${WORK_DIR}/debs)

set(packages libtov-core0 libtov-core-dev tov-tools)
set(root ${WORK_DIR}/root)
foreach(package IN LISTS packages)
  file(GLOB deb_${package} ${WORK_DIR}/debs/${package}_*.deb)
  list(LENGTH deb_${package} count)
  if(NOT count EQUAL 1)
    message(FATAL_ERROR "expected one ${package} package, found: ${deb_${package}}")
  endif()
  run(dpkg-deb -x ${deb_${package}} ${root})
  run(dpkg-deb -f ${deb_${package}} Version Depends)
  set(fields_${package} "${last_output}")
endforeach()

# The runtime package holds the library and its SONAME link in the multiarch directory, and the
# files Debian asks of every package: copyright, changelog and the lintian override.
run(dpkg-deb -x ${deb_libtov-core0} ${WORK_DIR}/runtime)
file(GLOB_RECURSE runtime_files LIST_DIRECTORIES false RELATIVE ${WORK_DIR}/runtime ${WORK_DIR}/runtime/*)
list(SORT runtime_files)
set(lib usr/lib/${LIBRARY_ARCHITECTURE}/libtov_core\\.so\\.0)
set(doc usr/share/doc/libtov-core0)
if(NOT runtime_files MATCHES "^${lib};${lib}\\.[0-9]+\\.[0-9]+;${doc}/changelog\\.Debian\\.gz;${doc}/copyright;usr/share/lintian/overrides/libtov-core0$")
  message(FATAL_ERROR "the runtime package should hold only the library, its SONAME link and its Debian files: ${runtime_files}")
endif()
foreach(package IN LISTS packages)
  foreach(file copyright changelog.Debian.gz)
    if(NOT EXISTS ${root}/usr/share/doc/${package}/${file})
      message(FATAL_ERROR "${package} lacks /usr/share/doc/${package}/${file}")
    endif()
  endforeach()
endforeach()
if(NOT EXISTS ${root}/usr/share/man/man1/tovinfo.1.gz)
  message(FATAL_ERROR "tov-tools lacks the manual page tovinfo.1.gz")
endif()

# Library dependencies come from dpkg-shlibdeps; the others depend on this exact runtime version.
string(REGEX MATCH "Version: ([^\n]+)" ignored "${fields_libtov-core0}")
set(version ${CMAKE_MATCH_1})
if(NOT fields_libtov-core0 MATCHES "Depends: [^\n]*libc6 [^\n]*libstdc\\+\\+6")
  message(FATAL_ERROR "libtov-core0 lacks its library dependencies:\n${fields_libtov-core0}")
endif()
foreach(package libtov-core-dev tov-tools)
  if(NOT fields_${package} MATCHES "Depends: [^\n]*libtov-core0 \\(= ${version}\\)")
    message(FATAL_ERROR "${package} should depend on libtov-core0 (= ${version}):\n${fields_${package}}")
  endif()
endforeach()

build_consumer_against(${root}/usr ${WORK_DIR})

# tovinfo carries no run path into /usr; the loader finds the library by its default search, here
# pointed at the scratch root.
set(tovinfo ${root}/usr/bin/tovinfo)
run(readelf -d ${tovinfo})
if(last_output MATCHES "RPATH|RUNPATH")
  message(FATAL_ERROR "packaged tovinfo has a run path:\n${last_output}")
endif()
run(${CMAKE_COMMAND} -E env LD_LIBRARY_PATH=${root}/usr/lib/${LIBRARY_ARCHITECTURE} ${tovinfo} --version)
if(NOT last_output MATCHES "^tovinfo [0-9]+\\.[0-9]+\\.[0-9]+")
  message(FATAL_ERROR "packaged tovinfo: ${last_output}")
endif()

# maintscript-calls-ldconfig is the one tag left; the README's Packages section says why.
find_program(lintian lintian NO_CACHE)
if(lintian)
  run(${lintian} --suppress-tags maintscript-calls-ldconfig ${deb_libtov-core0} ${deb_libtov-core-dev}
      ${deb_tov-tools})
  string(STRIP "${last_output}" tags)
  if(tags)
    message(FATAL_ERROR "lintian reports:\n${tags}")
  endif()
endif()
