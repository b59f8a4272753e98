# Cross-builds for 64-bit Windows with Debian's mingw-w64: the posix thread model (so
# std::thread and std::mutex exist), and the C and C++ runtimes and winpthreads linked in,
# so every .exe runs with nothing but Windows' own DLLs beside it. Test programs run
# under Wine through cmake/wine-run.sh, with a Wine prefix of this build's own.
#   cmake --preset windows
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(KESTREL_MINGW x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${KESTREL_MINGW}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KESTREL_MINGW}-g++-posix)
set(CMAKE_RC_COMPILER ${KESTREL_MINGW}-windres)

# Headers and libraries from the mingw-w64 tree only; programs from the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${KESTREL_MINGW})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# add_test and gtest_discover_tests run the .exe files through this; its second argument
# is the Wine prefix, kept in the build directory so nothing outside it is touched.
set(CMAKE_CROSSCOMPILING_EMULATOR
    ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh ${CMAKE_BINARY_DIR}/wineprefix)
