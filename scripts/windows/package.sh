#!/usr/bin/env bash
# Packs the Windows programs of a build into BUILD/zerediz-VERSION-win64.zip, a folder that runs
# where it is unpacked, and BUILD/zerediz-VERSION-win64-setup.exe, the installer made from the
# same folder. Usage: package.sh BUILD VERSION PROGRAM.exe...
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/env.sh"
build=$(cd "$1" && pwd)
version=$2
shift 2
name=zerediz-$version-win64
stage=$build/$name

rm -rf "$stage" "$build/$name.zip" "$build/$name-setup.exe"
mkdir -p "$stage/platforms" "$stage/styles" "$stage/translations"
cp "$@" "$stage/"
# Qt looks for plugins and translations beside a program whose folder holds Qt6Core.dll.
cp "$qt_prefix/plugins/platforms/qwindows.dll" "$stage/platforms/"
cp "$qt_prefix/plugins/styles/qwindowsvistastyle.dll" "$stage/styles/"
cp "$(/usr/lib/qt6/bin/qtpaths --query QT_INSTALL_TRANSLATIONS)/qtbase_zh_CN.qm" "$stage/translations/"

# Every DLL that a program or plugin imports from Qt, ICU or the MinGW runtime, and those that
# these import in turn; Windows' own DLLs are in none of these folders.
gcc_runtime=$(dirname "$(x86_64-w64-mingw32-g++-posix -print-file-name=libstdc++-6.dll)")
folders=("$qt_prefix/bin" "$icu_prefix/bin" "$gcc_runtime" /usr/x86_64-w64-mingw32/lib)
queue=("$stage"/*.exe "$stage"/platforms/*.dll "$stage"/styles/*.dll)
while ((${#queue[@]})); do
    binary=${queue[0]}
    queue=("${queue[@]:1}")
    for dll in $(x86_64-w64-mingw32-objdump -p "$binary" | sed -n 's/^\s*DLL Name: //p'); do
        [[ -e $stage/$dll ]] && continue
        for folder in "${folders[@]}"; do
            if [[ -e $folder/$dll ]]; then
                cp "$folder/$dll" "$stage/"
                queue+=("$stage/$dll")
                break
            fi
        done
    done
done
find "$stage" \( -name '*.exe' -o -name '*.dll' \) -exec x86_64-w64-mingw32-strip --strip-unneeded {} +

(cd "$build" && zip -qr9 "$name.zip" "$name")

# The uninstaller removes exactly the files installed, deepest folders last.
files=$build/$name-files.nsh
(cd "$stage" && find . -type f | sort | sed 's|^\./||; s|/|\\|g; s|.*|Delete "$INSTDIR\\&"|'
    find . -mindepth 1 -type d | sort -r | sed 's|^\./||; s|/|\\|g; s|.*|RMDir "$INSTDIR\\&"|') >"$files"
file_version=$(echo "$version.0.0.0" | cut -d. -f1-4)
makensis -V2 -DVERSION="$version" -DFILE_VERSION="$file_version" -DSTAGE="$stage" \
    -DFILES="$files" -DOUTFILE="$build/$name-setup.exe" "$here/../../packaging/windows/zerediz.nsi"
