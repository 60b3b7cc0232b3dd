#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing Zerediz need, if any are missing.
set -euo pipefail

packages=(
    cmake g++ make
    clang libclang-rt-14-dev
    qt6-base-dev qt6-translations-l10n qt6-tools-dev qt6-l10n-tools
    qt6-svg-dev libsimdjson-dev
    fonts-wqy-microhei fonts-arphic-uming
    xvfb xauth desktop-file-utils
    dpkg-dev file lintian appstream
    help2man man-db eatmydata
    acl attr
    chromium python3
    # The real corpora the render check compresses: pages as Sphinx and DocBook write them.
    python3-doc debian-reference-zh-cn
)

missing=()
for package in "${packages[@]}"; do
    status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
    [[ $status == "install ok installed" ]] || missing+=("$package")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

echo "Installing: ${missing[*]}"
sudo=()
[[ $(id -u) -eq 0 ]] || sudo=(sudo)
export DEBIAN_FRONTEND=noninteractive
# Another install may hold the package lock for a while; wait for it rather than fail.
apt=("${sudo[@]}" apt-get -o DPkg::Lock::Timeout=600)
"${apt[@]}" update -qq
"${apt[@]}" install -y -qq --no-install-recommends "${missing[@]}"
