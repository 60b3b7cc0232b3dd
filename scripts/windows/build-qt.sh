#!/usr/bin/env bash
# Builds Qt (qtbase: Core, Gui, Widgets, Test, Concurrent, Xml) for 64-bit Windows with Debian's
# mingw-w64 from Debian's own source of qt6-base, and installs it into PREFIX. The host's Qt of
# the same version gives moc, rcc and uic. Usage: build-qt.sh PREFIX [WORK_FOLDER]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/env.sh"
prefix=$1
work=${2:-$windows_cache/work/qt}

install_packages cmake ninja-build dpkg-dev xz-utils g++-mingw-w64-x86-64-posix mingw-w64-tools \
    qt6-base-dev qt6-base-dev-tools
mkdir -p "$work" && cd "$work"
source_folder=qtbase-everywhere-src-$qt_version
if [[ ! -d $source_folder ]]; then
    fetch_debian_source qt6-base
    tar -xf qt6-base_"$qt_version"+dfsg.orig.tar.xz
fi
# The Windows platform plugin reaches for dynamic OpenGL in one place even where OpenGL is off,
# should dynamic OpenGL stay on (as -DFEATURE_opengl=OFF alone leaves it); the prebuilt copy was
# made with this change.
sed -i 's/^#if QT_CONFIG(dynamicgl)$/#if QT_CONFIG(dynamicgl) \&\& QT_CONFIG(opengl)/' \
    "$source_folder/src/plugins/platforms/windows/qwindowswindow.cpp"
# Debian's source lacks the tablet SDK header (src/3rdparty/wintab), hence no tablet events.
cmake -S "$source_folder" -B build -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$here/../../cmake/mingw-w64.cmake" \
    -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
    -DCMAKE_INSTALL_PREFIX="$prefix" -DCMAKE_BUILD_TYPE=Release -DQT_QMAKE_TARGET_MKSPEC=win32-g++ \
    -DBUILD_SHARED_LIBS=ON -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF \
    -DINPUT_opengl=no -DFEATURE_opengl=OFF -DFEATURE_dynamicgl=OFF -DFEATURE_dbus=OFF \
    -DFEATURE_sql=OFF -DFEATURE_network=OFF -DFEATURE_printsupport=OFF -DFEATURE_tabletevent=OFF
cmake --build build --parallel "$(nproc)"
cmake --install build --strip
