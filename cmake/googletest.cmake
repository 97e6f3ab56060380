# GoogleTest from Debian's source package, built with the project's own
# compiler: natively, or cross with the -posix MinGW compilers.
set(VLVIS_GOOGLETEST_DIR /usr/src/googletest CACHE PATH "GoogleTest source tree")
if(NOT EXISTS ${VLVIS_GOOGLETEST_DIR}/CMakeLists.txt)
  message(FATAL_ERROR "GoogleTest source not found at ${VLVIS_GOOGLETEST_DIR} (Debian package googletest)")
endif()
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
add_subdirectory(${VLVIS_GOOGLETEST_DIR} ${PROJECT_BINARY_DIR}/_googletest EXCLUDE_FROM_ALL SYSTEM)
