# The Windows build, for now the core and its unit tests: included from the top
# CMakeLists.txt before anything Linux-only is looked for. Cross-built with
# cmake/mingw-w64-x86_64.cmake; the tests run under Wine (scripts/test-windows.sh).

# src/ and tests/ stop after the core and its tests.
set(KESTREL_CORE_ONLY ON)
add_subdirectory(src)

if(KESTREL_BUILD_TESTS)
  enable_testing()

  # GoogleTest from Debian's own sources (googletest), built here for Windows.
  set(KESTREL_GOOGLETEST_SOURCE_DIR /usr/src/googletest CACHE PATH
      "GoogleTest's sources, built for the Windows tests")
  if(NOT EXISTS ${KESTREL_GOOGLETEST_SOURCE_DIR}/CMakeLists.txt)
    message(FATAL_ERROR "GoogleTest's sources are not in ${KESTREL_GOOGLETEST_SOURCE_DIR}: "
                        "install googletest (scripts/install-deps.sh)")
  endif()
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(${KESTREL_GOOGLETEST_SOURCE_DIR} ${PROJECT_BINARY_DIR}/googletest
                   EXCLUDE_FROM_ALL)
  if(NOT TARGET GTest::gtest_main)
    add_library(GTest::gtest ALIAS gtest)
    add_library(GTest::gtest_main ALIAS gtest_main)
  endif()

  add_subdirectory(tests)
endif()
