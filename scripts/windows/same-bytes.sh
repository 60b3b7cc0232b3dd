#!/usr/bin/env bash
# Checks that zerediz-compress.exe under Wine writes the same bytes as zerediz-compress on Linux,
# for every page the tests have: the fuzz targets' seeds (UTF-8 and GB18030, declared charsets,
# stray bytes, NUL, every kind of line end) and the pages of the render check, as a mirror
# (--output-dir) and in place. The program never decodes a page, so the bytes must be equal.
# Usage: same-bytes.sh LINUX_ZEREDIZ_COMPRESS WINDOWS_BUILD
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
linux=$(realpath "$1")
windows=$(realpath "$2")/zerediz-compress.exe
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The seeds have no extension of a page: each gets one, so that a folder's walk takes it.
mkdir -p "$work/pages/seeds" "$work/pages/render"
for seed in "$root"/tests/fuzz/seeds/*; do cp "$seed" "$work/pages/seeds/${seed##*/}.html"; done
/usr/bin/python3 -c 'import sys; sys.path.insert(0, sys.argv[1]); import render_check
render_check.write_pages(sys.argv[2])' "$root/tests/render" "$work/pages/render"
cp -r "$work/pages" "$work/in-place-linux"
cp -r "$work/pages" "$work/in-place-windows"

cd "$work"
"$linux" -q --output-dir mirror-linux pages
"$here/wine-run.sh" "$windows" -q --output-dir mirror-windows pages
"$linux" -q in-place-linux
"$here/wine-run.sh" "$windows" -q in-place-windows
diff -r mirror-linux mirror-windows
diff -r in-place-linux in-place-windows
pages=$(find pages -type f | wc -l)
changed=$(find pages -type f | while read -r page; do
    cmp -s "$page" "mirror-linux/${page#pages/}" || echo; done | wc -l)
echo "same-bytes: $pages pages ($changed of them compressed) give the same bytes on Linux and under Wine, mirrored and in place"
