# tov/version.hpp carries the project version (set once, in project()) into the headers.
# libraryVersion() packs it as major * 10000 + minor * 100 + patch, so minor and patch must stay
# below 100 or two versions would give the same number.
if(PROJECT_VERSION_MINOR GREATER 99 OR PROJECT_VERSION_PATCH GREATER 99)
  message(FATAL_ERROR "version ${PROJECT_VERSION}: minor and patch must be below 100")
endif()
set(TOV_GENERATED_INCLUDE_DIR ${PROJECT_BINARY_DIR}/include)
configure_file(${PROJECT_SOURCE_DIR}/include/tov/version.hpp.in ${TOV_GENERATED_INCLUDE_DIR}/tov/version.hpp
               @ONLY)
