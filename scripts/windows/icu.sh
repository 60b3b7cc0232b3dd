#!/usr/bin/env bash
# Makes ICU's common library (libicuuc) for 64-bit Windows, with data that holds only the
# character converters, from Debian's source of icu, and installs it into the cache (see env.sh).
# Converting pages the same way on Linux and Windows needs it: Wine has no GB18030 code page and
# Qt for Windows is built without ICU.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/env.sh"
[[ -e $icu_prefix/.complete ]] && exit 0
# The build takes minutes, which CI would spend on every run.
if unpack_prebuilt "${ZEREDIZ_ICU_ARCHIVE:-$shared_windows/icu$icu_version-mingw-w64.tar.xz}" \
    "$icu_prefix"; then
    touch "$icu_prefix/.complete"
    exit 0
fi

install_packages g++ make python3 dpkg-dev icu-devtools g++-mingw-w64-x86-64-posix mingw-w64-tools
echo "Building ICU $icu_version for Windows into $icu_prefix (a few minutes)"
unpack_debian_source icu
jobs=$(nproc)
configure_flags=(--disable-extras --disable-samples --disable-tests --disable-icuio
    --disable-layoutex --enable-shared --disable-static CFLAGS=-O2 CXXFLAGS=-O2)

# Cross-building runs ICU's data tools on this machine, from a configured build of it; Debian's
# icu-devtools has them in the same version, so only the configuration is made here.
mkdir -p native/bin cross/lib cross/bin
(cd native && quietly ../src/source/configure "${configure_flags[@]}" CC=gcc CXX=g++)
quietly make -C native config/icucross.mk config/icucross.inc
ln -s /usr/sbin/icupkg /usr/bin/pkgdata native/bin/

# The converters need their tables and the list of their names (cnvalias.icu), nothing else of
# the full data, which is six times as big.
data=src/source/data/in/icudt${icu_version%%.*}l.dat
icupkg -l "$data" | grep -E '^cnvalias\.icu$|\.cnv$' >converters.txt
mkdir items reduced
icupkg -x converters.txt -d items "$data"
icupkg -tl -a converters.txt -s items new "reduced/${data##*/}"
mv "reduced/${data##*/}" "$data"

(cd cross && quietly ../src/source/configure "${configure_flags[@]}" \
    --host=x86_64-w64-mingw32 --with-cross-build="$work/native" --disable-tools \
    --with-data-packaging=library --prefix="$icu_prefix" \
    CC=x86_64-w64-mingw32-gcc-posix CXX=x86_64-w64-mingw32-g++-posix)
for part in stubdata common data; do quietly make -C "cross/$part" -j"$jobs"; done
rm -rf "$icu_prefix"
for part in common data; do quietly make -C "cross/$part" install; done
touch "$icu_prefix/.complete"
cd / && rm -rf "$work"
