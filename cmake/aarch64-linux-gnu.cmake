# Builds for 64-bit ARM Linux with Debian's cross compiler, against the arm64 packages that Debian
# installs beside the host's (scripts/arm64/setup.sh). Qt's build tools (moc) are the host's: the
# arm64 Qt names them in /usr/lib/qt6/libexec, which the host's qt6-base-dev-tools fills.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)
set(CMAKE_LIBRARY_ARCHITECTURE aarch64-linux-gnu)

# Libraries and packages are found in Debian's folders for arm64 (the library architecture) and in
# simdjson's, which setup.sh unpacks apart; programs are the host's.
set(CMAKE_FIND_ROOT_PATH / ${ZEREDIZ_SIMDJSON_ROOT})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES ZEREDIZ_SIMDJSON_ROOT)

# ctest and custom commands start the programs under qemu-user, and the tests start
# zerediz-compress under it. Debian's arm64 C library sits where the emulator looks for it.
set(CMAKE_CROSSCOMPILING_EMULATOR /usr/bin/qemu-aarch64)
