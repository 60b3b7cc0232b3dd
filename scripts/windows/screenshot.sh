#!/usr/bin/env bash
# Photographs zerediz.exe, as built for Windows, under Wine on a virtual X display for the README:
# `zerediz.exe page.html` on Qt's windows platform, in a Wine desktop that draws the title bar as
# Windows does, the page trimmed in its window. Writes docs/screenshots/windows-form1.png.
# Usage: screenshot.sh [BUILD]  (build-windows by default; make windows first)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/env.sh"
root=$(cd "$here/../.." && pwd)
build=$(cd "${1:-$root/build-windows}" && pwd)
output=$root/docs/screenshots/windows-form1.png
install_packages xvfb xauth xdotool imagemagick

scratch=$(mktemp -d)
trap 'WINEPREFIX=$scratch/cache/wine /usr/lib/wine/wineserver -k 2>/dev/null || true; rm -rf "$scratch"' EXIT
scratch_windows_cache "$scratch/cache"
printf '%s\r\n' '<!DOCTYPE html>' '<html>' '    <head>' '        <meta charset="utf-8">' \
    '        <title>网页压缩</title>' '    </head>' '    <body>' \
    '        <h1>  Zerediz 在 Windows 上  </h1>' '        <p>   每行两端的空格都去掉了。   </p>' \
    '    </body>' '</html>' >"$scratch/page.html"

export ZEREDIZ_WINDOWS_CACHE=$scratch/cache build scratch here
# shellcheck disable=SC2016
xvfb-run -a --server-args="-screen 0 1024x768x24 -dpi 96" bash -c '
    cd "$scratch"
    "$here/wine-run.sh" explorer /desktop=Zerediz,640x420 "Z:${build//\//\\}\\zerediz.exe" page.html &
    # The desktop comes first, the program a few seconds later, and its page when it is shown.
    for _ in $(seq 60); do xdotool search --name "^Zerediz - Wine desktop" >/dev/null && break; sleep 1; done
    sleep 8
    import -window root "$scratch/screen.png"'
# The program's window, cut out of the desktop around it.
desktop=$(convert "$scratch/screen.png" -format '%[pixel:p{630,410}]' info:)
convert "$scratch/screen.png" -crop 640x420+0+0 +repage -bordercolor "$desktop" -border 1 -trim \
    +repage "$output"
echo "written: ${output#"$root"/}"
