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
work=$windows_cache/work/simdjson
rm -rf "$work" && mkdir -p "$work" && cd "$work"
log=$work/build.log
# The compilers' warnings about simdjson's code are not ours to act on: they go to the log, shown
# only when a step fails.
quietly() { "$@" >>"$log" 2>&1 || { tail -n 40 "$log"; return 1; }; }
quietly fetch_debian_source simdjson
quietly dpkg-source --no-check -x simdjson_*.dsc src
rm -rf "$simdjson_prefix"
quietly cmake -S src -B build -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$here/../../cmake/mingw-w64.cmake" \
    -DBUILD_SHARED_LIBS=OFF -DSIMDJSON_ENABLE_THREADS=OFF -DSIMDJSON_DEVELOPER_MODE=OFF \
    -DCMAKE_INSTALL_PREFIX="$simdjson_prefix"
quietly cmake --build build
quietly cmake --install build
touch "$simdjson_prefix/.complete"
cd / && rm -rf "$work"
