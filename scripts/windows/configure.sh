#!/usr/bin/env bash
# Configures a CMake build for 64-bit Windows against Qt, ICU and simdjson in the cache (see env.sh): Qt's
# toolchain file, which loads the project's mingw-w64 one, and the host's Qt for the tools that
# run during the build. Usage: configure.sh SOURCE BUILD [CMAKE_ARGUMENT...]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/env.sh"
source_folder=$1
build=$2
shift 2
cmake -S "$source_folder" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$qt_prefix/lib/cmake/Qt6/qt.toolchain.cmake" \
    -DQT_CHAINLOAD_TOOLCHAIN_FILE="$(cd "$here/../../cmake" && pwd)/mingw-w64.cmake" \
    -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
    -DZEREDIZ_ICU_ROOT="$icu_prefix" -DZEREDIZ_SIMDJSON_ROOT="$simdjson_prefix" "$@"
