#!/usr/bin/env bash
# Runs the tests of a Windows build under Wine, through ctest, which starts each test with
# wine-run.sh (CMAKE_CROSSCOMPILING_EMULATOR). Usage: test.sh BUILD JOBS
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$1
jobs=$2
# Wine makes a console window that works only on a display, so the tests get a virtual one; the
# window tests still draw on Qt's offscreen platform.
if [[ -z ${ZEREDIZ_TEST_DISPLAY:-} ]]; then
    exec xvfb-run -a env ZEREDIZ_TEST_DISPLAY=1 "$0" "$@"
fi
# The first Wine program starts the wineserver and Wine's own services, which keep the output
# of whatever started them open until they end: started by a test, they would hold that test's
# output, and ctest would wait for it until the last test is done.
"$here/wine-run.sh" wineboot </dev/null >/dev/null 2>&1
cd "$build"
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j "$jobs"
