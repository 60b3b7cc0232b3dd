#!/usr/bin/env bash
# Installs and makes what cross-building Zerediz for Windows, packing it and testing it under Wine
# need, where any of it is missing: Debian's packages, then Qt, ICU and simdjson for Windows and a
# Wine prefix, all in the cache (see env.sh).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/env.sh"

# The host's Qt gives the build tools (moc, rcc, uic, lrelease) and the Chinese translations of
# Qt's own texts, which are the same files on Windows.
install_packages cmake ninja-build make g++ g++-mingw-w64-x86-64-posix mingw-w64-tools \
    qt6-base-dev qt6-base-dev-tools qt6-tools-dev qt6-l10n-tools qt6-translations-l10n \
    wine64 nsis zip xz-utils xvfb xauth fonts-dejavu-core fonts-wqy-microhei fonts-arphic-uming
"$here/qt.sh"
"$here/icu.sh"
"$here/simdjson.sh"
# Qt's Chinese texts, where the programs and tests run from the build folder look for them
# (package.sh puts them beside the programs it packs).
mkdir -p "$qt_prefix/translations"
ln -sf "$(/usr/lib/qt6/bin/qtpaths --query QT_INSTALL_TRANSLATIONS)/qtbase_zh_CN.qm" "$qt_prefix/translations/"

if [[ ! -e $wine_prefix/.complete ]]; then
    echo "Making a Wine prefix in $wine_prefix"
    rm -rf "$wine_prefix" && mkdir -p "$wine_prefix"
    # Wine would offer to download Mono and Gecko, which nothing here uses.
    WINEDLLOVERRIDES="mscoree,mshtml=" "$here/wine-run.sh" wineboot --init
    # The prefix is written by the wineserver, which lives on behind wineboot.
    WINEPREFIX=$wine_prefix /usr/lib/wine/wineserver --wait
    touch "$wine_prefix/.complete"
fi

# The fonts that Qt's offscreen platform finds under Wine (see wine-run.sh).
mkdir -p "$windows_cache/fonts"
ln -sf /usr/share/fonts/truetype/dejavu/DejaVuSans.ttf /usr/share/fonts/truetype/wqy/wqy-microhei.ttc \
    /usr/share/fonts/truetype/arphic/uming.ttc "$windows_cache/fonts/"
