#!/usr/bin/env bash
# Makes Qt for 64-bit Windows available in the cache (see env.sh): unpacked from the prebuilt copy
# in ../shared/windows/ beside the repository where it is at hand, since building it takes about
# an hour; otherwise built from Debian's source by build-qt.sh.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/env.sh"
[[ -e $qt_prefix/.complete ]] && exit 0

prebuilt=${ZEREDIZ_QT_ARCHIVE:-$shared_windows/qt$qt_version-mingw-w64.tar.xz}
if ! unpack_prebuilt "$prebuilt" "$qt_prefix"; then
    echo "No prebuilt Qt for Windows at $prebuilt: building it from source (about an hour)"
    rm -rf "$qt_prefix"
    "$here/build-qt.sh" "$qt_prefix"
fi
touch "$qt_prefix/.complete"
