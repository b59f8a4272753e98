# The Windows build, the core, the Win32 backend, kestrel.exe and their tests: included from the
# top CMakeLists.txt before anything Linux-only is looked for. Cross-built with
# cmake/mingw-w64-x86_64.cmake; the tests run under Wine (scripts/test-windows.sh).

# src/ and tests/ stop after the core and its tests.
set(KESTREL_CORE_ONLY ON)
add_subdirectory(src)

# What the Win32 backend and the Win32 front end both need: UTF-8 to and from the wide
# text of every ...W call, and the system's reason for an error code.
add_library(kestrel_common_win32 STATIC ${PROJECT_SOURCE_DIR}/src/common/win32/Win32WideText.cpp
                                        ${PROJECT_SOURCE_DIR}/src/common/win32/Win32WideText.h)
target_include_directories(kestrel_common_win32 PUBLIC ${PROJECT_SOURCE_DIR}/src)
# UNICODE: a plain name can only ever mean the wide call.
target_compile_definitions(kestrel_common_win32 PUBLIC UNICODE _UNICODE WIN32_LEAN_AND_MEAN
                           NOMINMAX)
target_link_libraries(kestrel_common_win32 PRIVATE kestrel_warnings)

# The seam realised with the Win32 API: registry, files, clock, screen, GDI grab, error
# box, hot key, web page. Wide-character calls throughout, UTF-8 converted in
# common/win32/Win32WideText only.
set(KESTREL_PLATFORM_WIN32_SOURCES
  Win32SettingsStore.cpp Win32SettingsStore.h
  Win32Clock.cpp Win32Clock.h
  Win32ErrorReport.cpp Win32ErrorReport.h
  Win32FileSystem.cpp Win32FileSystem.h
  Win32HotKey.cpp Win32HotKey.h Win32KeyHold.h
  Win32MessageLoop.cpp Win32MessageLoop.h
  Win32Screen.cpp Win32Screen.h
  Win32ScreenGrab.cpp Win32ScreenGrab.h
  Win32WebPage.cpp Win32WebPage.h)
list(TRANSFORM KESTREL_PLATFORM_WIN32_SOURCES PREPEND ${PROJECT_SOURCE_DIR}/src/platform/win32/)
add_library(kestrel_platform_win32 STATIC ${KESTREL_PLATFORM_WIN32_SOURCES})
target_link_libraries(kestrel_platform_win32 PUBLIC kestrel_core kestrel_common_win32 user32
                      gdi32 advapi32 shell32 PRIVATE kestrel_warnings)

# The main window, the configuration dialog and the About window as native windows.
set(KESTREL_UI_WIN32_SOURCES
  AboutDialog.cpp AboutDialog.h
  ConfigDlg.cpp ConfigDlg.h
  Layout.cpp Layout.h
  MainForm.cpp MainForm.h
  NativeWindow.cpp NativeWindow.h)
list(TRANSFORM KESTREL_UI_WIN32_SOURCES PREPEND ${PROJECT_SOURCE_DIR}/src/ui/win32/)
add_library(kestrel_ui_win32 STATIC ${KESTREL_UI_WIN32_SOURCES})
target_link_libraries(kestrel_ui_win32 PUBLIC kestrel_core kestrel_common_win32 user32 gdi32
                      PRIVATE kestrel_warnings)

# kestrel.exe: a GUI program with nothing but Windows' own DLLs beside it. Its resources
# carry the icon, the manifest (per-monitor DPI awareness, common controls 6, no elevation)
# and the version.
configure_file(${PROJECT_SOURCE_DIR}/src/app/windows/kestrel.rc.in
               ${PROJECT_BINARY_DIR}/kestrel.rc @ONLY)
# The icon, rendered from the same SVG as the Linux package's (librsvg2-bin, icoutils).
add_custom_command(
  OUTPUT ${PROJECT_BINARY_DIR}/kestrel.ico
  COMMAND bash ${PROJECT_SOURCE_DIR}/scripts/make-windows-icon.sh
          ${PROJECT_SOURCE_DIR}/packaging/org.ardmoor.Kestrel.svg ${PROJECT_BINARY_DIR}/kestrel.ico
  DEPENDS ${PROJECT_SOURCE_DIR}/packaging/org.ardmoor.Kestrel.svg
          ${PROJECT_SOURCE_DIR}/scripts/make-windows-icon.sh
  COMMENT "Rendering kestrel.ico")
add_custom_target(kestrel_icon DEPENDS ${PROJECT_BINARY_DIR}/kestrel.ico)
# The resource compiler's inputs, which the build does not find in the script by itself.
set_source_files_properties(
  ${PROJECT_BINARY_DIR}/kestrel.rc PROPERTIES OBJECT_DEPENDS
  "${PROJECT_BINARY_DIR}/kestrel.ico;${PROJECT_SOURCE_DIR}/src/app/windows/kestrel.exe.manifest")
add_executable(kestrel WIN32 ${PROJECT_SOURCE_DIR}/src/app/WindowsMain.cpp
                             ${PROJECT_BINARY_DIR}/kestrel.rc)
target_include_directories(kestrel PRIVATE ${PROJECT_SOURCE_DIR}/src/app/windows)
target_link_options(kestrel PRIVATE -municode -mwindows)
target_link_libraries(kestrel PRIVATE kestrel_ui_win32 kestrel_platform_win32 comctl32
                      kestrel_warnings)
add_dependencies(kestrel kestrel_icon)
include(${CMAKE_CURRENT_LIST_DIR}/WindowsPackage.cmake)

if(KESTREL_BUILD_TESTS OR KESTREL_BUILD_BENCH)
  add_subdirectory(testkit)
endif()
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
  add_subdirectory(tests/windows)
endif()
if(KESTREL_BUILD_BENCH)
  add_subdirectory(bench)
endif()
