#!/usr/bin/env bash
# Checks what package.sh made, under Wine: the zip's folder runs where it is unpacked, both
# programs, with no DLL from anywhere else; the installer installs silently, registers the Start menu entry, the
# 打开方式 entries, the verb on folders and the uninstaller, and the installed program runs; the uninstaller then
# leaves nothing of it behind. Usage: check-package.sh BUILD VERSION
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/env.sh"
build=$(cd "$1" && pwd)
version=$2
name=zerediz-$version-win64
scratch=$(mktemp -d)
trap 'WINEPREFIX=$scratch/wine /usr/lib/wine/wineserver -k 2>/dev/null || true; rm -rf "$scratch"' EXIT
fail() { echo "check-package: $*" >&2; exit 1; }

# A prefix of its own, so that an installation never stays in the one the tests use.
copy_wine_prefix "$scratch/wine"
# No WINEPATH: the programs must find every DLL in their own folder.
wine() { WINEPREFIX=$scratch/wine WINEDEBUG=-all /usr/lib/wine/wine64 "$@"; }
# The wineserver lives on behind the programs; the uninstaller even returns before its work is
# done, from a copy of itself in the temporary folder.
wait_for_wine() { WINEPREFIX=$scratch/wine /usr/lib/wine/wineserver --wait; }
runs() { wine "$1" --version | grep -q "$version" || fail "$1 --version does not name $version"; }

(cd "$scratch" && unzip -q "$build/$name.zip")
runs "$scratch/$name/zerediz-compress.exe"
# The window program starts Qt's windows platform for that, which must load from the folder.
runs "$scratch/$name/zerediz.exe"

installed="$scratch/wine/drive_c/Program Files/Zerediz"
start_menu="$scratch/wine/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Zerediz.lnk"
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Zerediz'
wine "$build/$name-setup.exe" /S
wait_for_wine
runs "$installed/zerediz-compress.exe"
runs "$installed/zerediz.exe"
[[ -e $start_menu ]] || fail "no Start menu entry"
wine reg query "$uninstall_key" /v UninstallString | grep -q 'uninstall.exe' ||
    fail "no uninstaller among the installed apps"
# Exported, since reg query prints the Chinese name in the console's code page, as question marks.
folder_verb='HKLM\Software\Classes\Directory\shell\Zerediz'
wine reg export "$folder_verb" 'C:\folder-verb.reg' /y >/dev/null || fail "folders have no Zerediz verb"
verb=$(iconv -f UTF-16 -t UTF-8 "$scratch/wine/drive_c/folder-verb.reg")
grep -qxF '@="用 Zerediz 压缩网页"' <<<"${verb//$'\r'/}" || fail "the folder verb is not named 用 Zerediz 压缩网页"
grep -qF 'zerediz.exe\" \"%1\""' <<<"$verb" || fail "the folder verb does not start Zerediz with the folder"
for extension in .htm .html; do
    wine reg query "HKLM\\Software\\Classes\\$extension\\OpenWithProgids" | grep -q Zerediz ||
        fail "Zerediz is not offered to open $extension files"
done

wine "$installed/uninstall.exe" /S
wait_for_wine
[[ ! -e $installed && ! -e $start_menu ]] || fail "the uninstaller left files behind"
if wine reg query "$uninstall_key" >/dev/null 2>&1; then fail "the uninstaller stays registered"; fi
if wine reg query "$folder_verb" >/dev/null 2>&1; then fail "the folder verb stays after uninstalling"; fi
echo "check-package: $name.zip and $name-setup.exe work under Wine"
