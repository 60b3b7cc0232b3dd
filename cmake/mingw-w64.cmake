# Builds for 64-bit Windows with Debian's mingw-w64. Qt's own toolchain file (qt.toolchain.cmake
# of the Qt for Windows that scripts/windows/qt.sh makes) loads this one through
# QT_CHAINLOAD_TOOLCHAIN_FILE and adds Qt's folders; scripts/windows/configure.sh passes both.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
# The POSIX-threads flavour: the win32 one has no std::thread, std::mutex or std::async.
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)

# ICU and simdjson for Windows live in the cache beside Qt; only Windows libraries and headers may
# be found.
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32 ${ZEREDIZ_ICU_ROOT} ${ZEREDIZ_SIMDJSON_ROOT})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES ZEREDIZ_ICU_ROOT ZEREDIZ_SIMDJSON_ROOT)

# ctest and custom commands start the programs under Wine.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/windows/wine-run.sh)
