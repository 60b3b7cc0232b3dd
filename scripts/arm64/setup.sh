#!/usr/bin/env bash
# Installs what cross-building the core, zerediz-compress and their tests for arm64 and running
# them under qemu-user need, where any of it is missing: Debian's cross compiler, Qt and ICU for
# arm64 (Qt brings the host's build tools of Qt, moc among them), and the emulator; and unpacks
# simdjson for arm64 into folder $1. Usage: setup.sh SIMDJSON_FOLDER
set -euo pipefail
source "$(dirname "$0")/../packages.sh"
simdjson_root=$1

# The archives hold arm64's packages too, once dpkg takes the architecture and apt has their lists.
if ! dpkg --print-foreign-architectures | grep -qx arm64; then
    echo "Adding the arm64 architecture"
    "${as_root[@]}" dpkg --add-architecture arm64
    "${apt[@]}" update -qq
fi
# ICU's development package installs beside the host's, as Qt's does. The tests run the host's
# setfacl and setfattr, as an emulated program runs any program of the host; without-pidfds.py
# lets Qt start processes under the emulator.
install_packages cmake make g++-aarch64-linux-gnu qt6-base-dev:arm64 libicu-dev:arm64 qemu-user \
    python3 python3-seccomp acl attr

# simdjson's development package is for one architecture at a time: installing arm64's would
# remove the host's, which the Linux build needs. Its files are unpacked here instead, with the
# library they name; the toolchain file finds them there (ZEREDIZ_SIMDJSON_ROOT).
[[ -e $simdjson_root/.complete ]] && exit 0
echo "Unpacking simdjson for arm64 into $simdjson_root"
download=$(mktemp -d)
trap 'rm -rf "$download"' EXIT
fetch() {
    # apt's sandbox user may not write there; the download then runs as the caller, which is fine.
    (cd "$download" && apt-get download libsimdjson-dev:arm64 libsimdjson14:arm64 2>&1 |
        grep -v '^W: Download is performed unsandboxed' || true)
    compgen -G "$download/libsimdjson-dev_*_arm64.deb" >/dev/null &&
        compgen -G "$download/libsimdjson14_*_arm64.deb" >/dev/null
}
# The lists may have gone since the last install (a slim image empties them).
fetch || { "${apt[@]}" update -qq && fetch; }
rm -rf "$simdjson_root" && mkdir -p "$simdjson_root"
for package in "$download"/*.deb; do dpkg-deb -x "$package" "$simdjson_root"; done
touch "$simdjson_root/.complete"
