# Sourced by the scripts beside it: where the Windows build keeps what it makes outside the
# repository, and how it fetches Debian's sources. ../packages.sh installs Debian's packages.

# Qt, ICU, simdjson and the Wine prefix take long to make and are the same for every work tree, so they
# live in the user's cache rather than in a build folder that `make clean` empties.
windows_cache=${ZEREDIZ_WINDOWS_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/zerediz/windows}
qt_version=6.4.2
icu_version=72.1
simdjson_version=3.0.1
qt_prefix=$windows_cache/qt-$qt_version-mingw-w64
icu_prefix=$windows_cache/icu-$icu_version-mingw-w64
simdjson_prefix=$windows_cache/simdjson-$simdjson_version-mingw-w64
wine_prefix=$windows_cache/wine

# A prebuilt copy of what a script makes, beside the repository in ../shared/windows/, saves its
# build. Unpacks archive $1, which holds one folder, as folder $2; false where there is none.
unpack_prebuilt() {
    [[ -r $1 ]] || return 1
    echo "Unpacking ${1##*/} into $2"
    rm -rf "$2" "$2.unpacking" && mkdir -p "$2.unpacking"
    tar -xJf "$1" -C "$2.unpacking" --strip-components=1
    mv "$2.unpacking" "$2"
}
shared_windows=$(dirname "${BASH_SOURCE[0]}")/../../../shared/windows

# A copy of the Wine prefix in $1, so that what a script installs or sets there never stays in the
# one the tests use. Most of a prefix is Wine's own DLLs, which nothing changes: they are linked,
# not copied (hundreds of megabytes); the registry files, which Wine rewrites, are copied.
copy_wine_prefix() {
    cp -al "$wine_prefix" "$1"
    local registry
    for registry in "$1"/*.reg; do
        cp --remove-destination "$wine_prefix/${registry##*/}" "$registry"
    done
}

# A cache of its own in $1, for ZEREDIZ_WINDOWS_CACHE: Qt, ICU and the fonts as they are, and a
# copy of the prefix, whose desktop is then made on the display the script runs on.
scratch_windows_cache() {
    mkdir -p "$1"
    ln -s "$qt_prefix" "$icu_prefix" "$windows_cache/fonts" "$1/"
    copy_wine_prefix "$1/wine"
}

source "$(dirname "${BASH_SOURCE[0]}")/../packages.sh"

# Downloads the Debian source package $1 into the current folder. The machines list only binary
# archives, so a deb-src entry for the same archives is added first.
fetch_debian_source() {
    if ! grep -qs '^Types:.*deb-src' /etc/apt/sources.list.d/*.sources; then
        sed 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources |
            "${as_root[@]}" tee /etc/apt/sources.list.d/zz-zerediz-deb-src.sources >/dev/null
        "${apt[@]}" update -qq
    fi
    install_packages dpkg-dev
    # apt's sandbox user may not write here; the download then runs as the caller, which is fine.
    apt-get source --download-only "$1" 2>&1 | grep -v '^W: Download is performed unsandboxed' || true
    ls ./"$1"_*.dsc >/dev/null
}

# Runs a command with its output going to $log, which is shown only when the command fails: the
# compilers' warnings about other projects' code are not ours to act on.
quietly() { "$@" >>"$log" 2>&1 || { tail -n 40 "$log"; return 1; }; }

# Makes a fresh work folder for building Debian's source package $1 ($work, the current folder
# from then on, with its $log) and unpacks the source into src/ there.
unpack_debian_source() {
    work=$windows_cache/work/$1
    rm -rf "$work" && mkdir -p "$work" && cd "$work"
    log=$work/build.log
    quietly fetch_debian_source "$1"
    quietly dpkg-source --no-check -x "$1"_*.dsc src
}
