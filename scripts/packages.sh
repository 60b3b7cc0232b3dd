# Sourced by the set-up scripts: installs Debian packages, as root or through sudo.

as_root=()
[[ $(id -u) -eq 0 ]] || as_root=(sudo)
# Another install may hold the package lock for a while; wait for it rather than fail.
apt=("${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600)

# Whether package $1 is installed. A name without an architecture means the host's, or a package
# for every architecture; once dpkg takes arm64 as well, dpkg-query answers for both twins of a
# package that either may have.
is_installed() {
    local architecture line
    architecture=$(dpkg --print-architecture)
    [[ $1 == *:* ]] && architecture=${1##*:}
    while read -r line; do
        [[ $line == "$architecture install ok installed" || $line == "all install ok installed" ]] &&
            return 0
    done < <(dpkg-query -W -f='${Architecture} ${Status}\n' "$1" 2>/dev/null)
    return 1
}

# Installs whichever of the named Debian packages are missing.
install_packages() {
    local missing=() package
    for package in "$@"; do
        is_installed "$package" || missing+=("$package")
    done
    ((${#missing[@]})) || return 0
    echo "Installing: ${missing[*]}"
    "${apt[@]}" update -qq
    "${apt[@]}" install -y -qq --no-install-recommends "${missing[@]}"
}
