# Installs the library, its headers, a CMake package (find_package(tov_core) -> tov::core) and a
# pkg-config file. Components: runtime (the library and its SONAME link), development (headers, the
# .so link, CMake package, pkg-config file); tools/tovinfo adds tools.
include(CMakePackageConfigHelpers)

install(TARGETS tov_core EXPORT tov_core_targets
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT runtime NAMELINK_COMPONENT development
        INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(DIRECTORY include/tov DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT development
        FILES_MATCHING PATTERN "*.hpp")
install(FILES ${TOV_GENERATED_INCLUDE_DIR}/tov/version.hpp DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/tov
        COMPONENT development)

set(tov_cmake_dir ${CMAKE_INSTALL_LIBDIR}/cmake/tov_core)
install(EXPORT tov_core_targets NAMESPACE tov:: FILE tov_core-targets.cmake DESTINATION ${tov_cmake_dir}
        COMPONENT development)
configure_package_config_file(cmake/tov_core-config.cmake.in
                              ${PROJECT_BINARY_DIR}/tov_core-config.cmake
                              INSTALL_DESTINATION ${tov_cmake_dir})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/tov_core-config-version.cmake
                                 COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/tov_core-config.cmake ${PROJECT_BINARY_DIR}/tov_core-config-version.cmake
        DESTINATION ${tov_cmake_dir} COMPONENT development)

# The .pc file locates its prefix relative to itself, so the tree can be moved after install.
file(RELATIVE_PATH tov_pc_to_prefix ${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_LIBDIR}/pkgconfig
     ${CMAKE_INSTALL_PREFIX})
configure_file(cmake/tov_core.pc.in ${PROJECT_BINARY_DIR}/tov_core.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/tov_core.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig
        COMPONENT development)
