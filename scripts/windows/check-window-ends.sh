#!/usr/bin/env bash
# Checks, under Wine, that zerediz.exe ends once a person has compressed a folder with it and
# closed it, every time: `zerediz.exe FOLDER` in a Wine desktop on a virtual X display, its question
# answered with Enter (a new folder), the summary closed with Enter, the window with Alt+F4. A
# process that lives on after that is the fault; a picture of the desktop is kept beside the build.
# Usage: check-window-ends.sh BUILD [RUNS]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/env.sh"
build=$(cd "$1" && pwd)
runs=${2:-3}
install_packages xvfb xauth xdotool imagemagick

scratch=$(mktemp -d)
trap 'WINEPREFIX=$scratch/cache/wine /usr/lib/wine/wineserver -k 2>/dev/null || true; rm -rf "$scratch"' EXIT
scratch_windows_cache "$scratch/cache"
# A site of a few dozen pages in two folders, indented as people write them, and a style sheet.
mkdir -p "$scratch/site/文档"
for i in $(seq 40); do
    folder=$scratch/site
    ((i % 2)) && folder=$scratch/site/文档
    printf '%s\r\n' '<!DOCTYPE html>' '<html>' '    <head><meta charset="utf-8"></head>' \
        '    <body>' "        <p>   第 $i 页   </p>" '    </body>' '</html>' >"$folder/page-$i.html"
done
printf 'p { color: navy; }\n' >"$scratch/site/style.css"

export ZEREDIZ_WINDOWS_CACHE=$scratch/cache build scratch here runs
# shellcheck disable=SC2016
xvfb-run -a --server-args="-screen 0 1024x768x24 -dpi 96" bash -c '
    set -euo pipefail
    cd "$scratch"
    wine() { "$here/wine-run.sh" "$@" >/dev/null 2>&1; }
    # Every window in one desktop, which draws title bars as Windows does and routes Alt+F4; a
    # crash ends the program at once, with its code, instead of opening Wine'"'"'s crash dialog.
    wine reg add "HKCU\\Software\\Wine\\Explorer" /v Desktop /d Default /f
    wine reg add "HKCU\\Software\\Wine\\Explorer\\Desktops" /v Default /d 800x600 /f
    wine reg add "HKCU\\Software\\Wine\\WineDbg" /v ShowCrashDialog /t REG_DWORD /d 0 /f
    # Read when Wine starts, so it starts again.
    WINEPREFIX=$scratch/cache/wine /usr/lib/wine/wineserver -w
    fail() {
        import -window root "$build/window-ends-failed.png" || true
        echo "check-window-ends: run $run: $* (the desktop: $build/window-ends-failed.png)" >&2
        exit 1
    }
    for run in $(seq "$runs"); do
        rm -rf "site-压缩"
        wine "Z:${build//\//\\}\\zerediz.exe" site &
        program=$!
        # The window and its question come some seconds after the process, more on a busy
        # machine: where the job has not begun a while after Enter, the question was not there
        # yet. A job of these pages is done in a moment once begun.
        for _ in 1 2 3; do
            sleep 10
            kill -0 "$program" 2>/dev/null || fail "zerediz.exe ended before its question"
            xdotool key Return
            for _ in $(seq 20); do [[ -e "site-压缩" ]] && break; sleep 1; done
            [[ -e "site-压缩" ]] && break
        done
        for _ in $(seq 120); do
            [[ $(find "site-压缩" -name "*.html" 2>/dev/null | wc -l) -eq 40 ]] && break
            sleep 1
        done
        [[ -e "site-压缩/style.css" ]] || fail "the folder was not copied"
        sleep 4
        xdotool key Return
        sleep 3
        kill -0 "$program" 2>/dev/null || fail "zerediz.exe ended before it was closed"
        xdotool key alt+F4
        for _ in $(seq 30); do kill -0 "$program" 2>/dev/null || break; sleep 1; done
        kill -0 "$program" 2>/dev/null && fail "zerediz.exe lives on after Alt+F4"
        status=0
        wait "$program" || status=$?
        ((status == 0)) || fail "zerediz.exe ended with status $status"
        WINEPREFIX=$scratch/cache/wine /usr/lib/wine/wineserver -w
        echo "run $run: zerediz.exe ended after its site job and Alt+F4"
    done'
