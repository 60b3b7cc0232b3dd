#!/usr/bin/env bash
# Runs a Windows program under Wine, in the project's own Wine prefix, with the DLLs of Qt, ICU
# and the MinGW runtime found as an installed program finds those beside it. CMake starts the
# tests through it (CMAKE_CROSSCOMPILING_EMULATOR). Usage: wine-run.sh PROGRAM.exe [ARGUMENT...]
set -euo pipefail
source "$(dirname "$0")/env.sh"
export WINEPREFIX=$wine_prefix WINEARCH=win64 WINELOADER=/usr/lib/wine/wine64
# Wine's own messages (unimplemented functions and the like) would drown a test's output.
export WINEDEBUG=${WINEDEBUG:--all}
# Windows looks for DLLs on PATH, in Windows' form: the Unix root is drive Z:.
windows_path() { local p=Z:$1; echo "${p//\//\\}"; }
gcc_runtime=$(dirname "$(x86_64-w64-mingw32-g++-posix -print-file-name=libstdc++-6.dll)")
folders=("$qt_prefix/bin" "$icu_prefix/bin" "$gcc_runtime" /usr/x86_64-w64-mingw32/lib)
WINEPATH=
for folder in "${folders[@]}"; do WINEPATH+="$(windows_path "$folder");"; done
export WINEPATH
# A Windows Qt program with no console window (as under Wine, started from a pipe) sends its
# messages, QtTest's results among them, to the debugger; this sends them to stderr and stdout.
export QT_FORCE_STDERR_LOGGING=${QT_FORCE_STDERR_LOGGING:-1}
# Qt's offscreen platform on Windows reads fonts from one folder only; setup.sh gathers the ones
# the Linux tests have there.
export QT_QPA_FONTDIR=${QT_QPA_FONTDIR:-$(windows_path "$windows_cache/fonts")}
# Wine names files in the character set of the locale: where LANG names one the system lacks (a
# test runs under zh_CN.UTF-8, which a machine may not have), Chinese file names could not be made.
export LC_CTYPE=${LC_CTYPE:-C.UTF-8}
# Wine has no per-monitor DPI awareness, which Qt's Windows platform warns of on every start.
export QT_LOGGING_RULES=${QT_LOGGING_RULES:-qt.qpa.windows.warning=false}
# Wine keeps the QT_ variables of Linux from Windows programs, but passes WINEQT_X on as QT_X:
# without this, QT_QPA_PLATFORM=offscreen would not reach a test.
for variable in $(compgen -e); do
    if [[ $variable == QT_* ]]; then export "WINE$variable=${!variable}"; fi
done
exec "$WINELOADER" "$@"
