# Debian packages, one per install component: libtov-core0 (runtime, named after the SONAME),
# libtov-core-dev (development) and tov-tools (tovinfo). Built with `cpack --preset deb`, whose
# configure preset installs under /usr with the multiarch library directory.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tov-core)
set(TOV_DEB_MAINTAINER "tov_core developers <tov-core@example.org>"
    CACHE STRING "Maintainer field of the Debian packages")
set(CPACK_PACKAGE_CONTACT "${TOV_DEB_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_COMPONENTS_ALL runtime development)
if(TOV_BUILD_TOOLS)
  list(APPEND CPACK_COMPONENTS_ALL tools)
endif()

# Library dependencies come from dpkg-shlibdeps; the shlibs file lets packages built against
# libtov-core0 get theirs the same way. Each package depends on the runtime package of exactly
# its own version, because the development files and tovinfo are built against that one.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)
set(CPACK_COMPONENT_DEVELOPMENT_DEPENDS runtime)
set(CPACK_COMPONENT_TOOLS_DEPENDS runtime)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
# dpkg-shlibdeps must find libtov_core.so.0 for tovinfo before the runtime package exists; CPack
# runs it in the tools component's staging directory, next to the runtime component's.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ../runtime${CMAKE_INSTALL_FULL_LIBDIR})

string(REPLACE "_" "-" tov_deb_base "lib${PROJECT_NAME}")
set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME ${tov_deb_base}${PROJECT_VERSION_MAJOR})
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_NAME ${tov_deb_base}-dev)
set(CPACK_DEBIAN_TOOLS_PACKAGE_NAME tov-tools)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION libs)
# The library lands in the dynamic loader's directories: refresh its cache through the trigger.
set(CPACK_DEBIAN_RUNTIME_PACKAGE_CONTROL_EXTRA ${CMAKE_CURRENT_LIST_DIR}/deb/triggers)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_TOOLS_PACKAGE_SECTION utils)

# The summary is every package's first description line; each adds its own lines below it.
set(CPACK_COMPONENT_RUNTIME_DESCRIPTION "The shared library behind a family of FFT kernel libraries for x86-64
Linux: the instruction-set level, CPUs, cores, dies, processor packages and
data caches of the machine, sizes of batched multi-dimensional FFT problems,
and bit-exact twiddle tables in float, double and _Float16.")
set(CPACK_COMPONENT_DEVELOPMENT_DESCRIPTION "Development files of libtov_core: the C++17 headers, the CMake package
(find_package(tov_core), target tov::core) and the pkg-config file tov_core.")
set(CPACK_COMPONENT_TOOLS_DESCRIPTION "tovinfo shows what libtov_core computes: the machine description, the
sizes of an FFT problem and twiddle tables.")

# Debian policy asks every package for /usr/share/doc/<package>/copyright and changelog.Debian.gz;
# TovDebianDocs.cmake generates both from LICENSE and CHANGELOG.md, and a lintian override. The
# deb preset turns this on; other installs have no use for Debian files.
option(TOV_INSTALL_DEBIAN_DOCS "Install the Debian copyright and changelog files" OFF)
if(TOV_INSTALL_DEBIAN_DOCS)
  find_program(TOV_GZIP gzip REQUIRED)
  set(tov_deb_docs ${PROJECT_BINARY_DIR}/debian-docs)
  file(MAKE_DIRECTORY ${tov_deb_docs})
  add_custom_command(
    OUTPUT ${tov_deb_docs}/copyright ${tov_deb_docs}/changelog.Debian.gz ${tov_deb_docs}/lintian-overrides
    COMMAND ${CMAKE_COMMAND} -DLICENSE=${PROJECT_SOURCE_DIR}/LICENSE
            -DCHANGELOG=${PROJECT_SOURCE_DIR}/CHANGELOG.md -DSPDX=${TOV_LICENSE_SPDX}
            -DUPSTREAM_NAME=${PROJECT_NAME} -DSOURCE_PACKAGE=${CPACK_PACKAGE_NAME}
            -DDEB_RELEASE=${CPACK_DEBIAN_PACKAGE_RELEASE} "-DMAINTAINER=${TOV_DEB_MAINTAINER}"
            -DGZIP=${TOV_GZIP} -DOUTPUT_DIR=${tov_deb_docs} -P ${CMAKE_CURRENT_LIST_DIR}/TovDebianDocs.cmake
    DEPENDS ${PROJECT_SOURCE_DIR}/LICENSE ${PROJECT_SOURCE_DIR}/CHANGELOG.md
            ${CMAKE_CURRENT_LIST_DIR}/TovDebianDocs.cmake
    COMMENT "Generating the Debian copyright and changelog files" VERBATIM)
  add_custom_target(tov_debian_docs ALL DEPENDS ${tov_deb_docs}/copyright)
  foreach(component IN LISTS CPACK_COMPONENTS_ALL)
    string(TOUPPER ${component} upper)
    install(FILES ${tov_deb_docs}/copyright ${tov_deb_docs}/changelog.Debian.gz
            DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${CPACK_DEBIAN_${upper}_PACKAGE_NAME} COMPONENT ${component})
    install(FILES ${tov_deb_docs}/lintian-overrides DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides
            RENAME ${CPACK_DEBIAN_${upper}_PACKAGE_NAME} COMPONENT ${component})
  endforeach()
endif()

include(CPack)
