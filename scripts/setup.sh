#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing Zerediz need, if any are missing.
set -euo pipefail
source "$(dirname "$0")/packages.sh"

packages=(
    cmake g++ make
    clang libclang-rt-14-dev
    qt6-base-dev qt6-translations-l10n qt6-tools-dev qt6-l10n-tools
    qt6-svg-dev libsimdjson-dev libicu-dev
    fonts-wqy-microhei fonts-arphic-uming
    xvfb xauth desktop-file-utils
    dpkg-dev file lintian appstream
    help2man man-db eatmydata
    acl attr
    chromium python3
    # Real trees of pages, as Sphinx and DocBook write them, for the bench and the render check.
    python3-doc debian-reference-zh-cn
)

install_packages "${packages[@]}"
