# Builds for 64-bit ARM Linux with Debian's cross compiler, against the arm64 packages that Debian
# installs beside the host's (scripts/arm64/setup.sh). Qt's build tools (moc) are the host's.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)
set(CMAKE_LIBRARY_ARCHITECTURE aarch64-linux-gnu)
set(QT_HOST_PATH /usr)

# Only arm64 libraries and headers may be found: those of Debian's multiarch folders, and
# simdjson's, which setup.sh unpacks apart.
set(CMAKE_FIND_ROOT_PATH / ${ZEREDIZ_SIMDJSON_ROOT})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES ZEREDIZ_SIMDJSON_ROOT)

# ctest and custom commands start the programs under qemu-user, and the tests start
# zerediz-compress under it. Debian's arm64 C library sits where the emulator looks for it.
set(CMAKE_CROSSCOMPILING_EMULATOR /usr/bin/qemu-aarch64)
