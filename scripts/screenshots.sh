#!/usr/bin/env bash
# Photographs the windows on a virtual X display for the README: docs/screenshots/form1.png,
# form2.png, open-dialog.png, site-question.png, site-progress.png, site-summary.png and
# site-progress-verify.png (the progress of a site checked in the machine's browser, which must be
# installed). Uses its own build folder, so that it does not disturb build/.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
build=${BUILD:-build-screenshots}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j "${JOBS:-2}" --target zerediz_screenshots

mkdir -p docs/screenshots
# A fixed 96 dots per inch, at which the windows' twips become whole pixels; the locale is not
# Chinese on purpose, to show that the interface is Chinese whatever the user's locale.
LANG=C.UTF-8 QT_QPA_PLATFORM=xcb QT_FONT_DPI=96 \
    xvfb-run --auto-servernum --server-args="-screen 0 1024x768x24 -dpi 96" \
    "$build/app/zerediz_screenshots" docs/screenshots
echo "written: docs/screenshots/form1.png form2.png open-dialog.png site-question.png" \
    "site-progress.png site-summary.png site-progress-verify.png"
