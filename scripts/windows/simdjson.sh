#!/usr/bin/env bash
# Makes simdjson, whose UTF-8 check runs on every page opened, as a static library for 64-bit
# Windows from Debian's source of it, the same version as Linux links, and installs it into the
# cache (see env.sh).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/env.sh"
[[ -e $simdjson_prefix/.complete ]] && exit 0

install_packages cmake ninja-build dpkg-dev g++-mingw-w64-x86-64-posix
echo "Building simdjson $simdjson_version for Windows into $simdjson_prefix"
unpack_debian_source simdjson
rm -rf "$simdjson_prefix"
quietly cmake -S src -B build -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$here/../../cmake/mingw-w64.cmake" \
    -DBUILD_SHARED_LIBS=OFF -DSIMDJSON_ENABLE_THREADS=OFF -DSIMDJSON_DEVELOPER_MODE=OFF \
    -DCMAKE_INSTALL_PREFIX="$simdjson_prefix"
quietly cmake --build build
quietly cmake --install build
touch "$simdjson_prefix/.complete"
cd / && rm -rf "$work"
