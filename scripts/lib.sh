# Shared by the scripts: installs Debian packages when they are missing, and builds.
# shellcheck shell=bash

ZELVIC_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

# What building the terminal needs.
ZELVIC_BUILD_PACKAGES=(cmake ninja-build g++ qt6-base-dev qt6-serialport-dev qt6-webengine-dev
    qt6-httpserver-dev qt6-websockets-dev libgl-dev libxcb1-dev libxcb-damage0-dev)
# What the terminal's tools use when it runs: a terminal window for Ping, and the ping program;
# and the receivers of the simulated server.
ZELVIC_RUN_PACKAGES=(xterm iputils-ping lrzsz)
# What the tests need besides: pseudo-terminal pairs, real transfer peers, a virtual X server.
ZELVIC_TEST_PACKAGES=(socat lrzsz xvfb xdotool)
# What the fuzz targets build with: clang and its libFuzzer and sanitizer runtimes.
ZELVIC_FUZZ_PACKAGES=(clang-14 clang libclang-rt-14-dev)

# install_packages PKG...: installs the packages that are not installed yet, quietly, through
# sudo when not root.
install_packages() {
    local missing=()
    local pkg
    for pkg in "$@"; do
        if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed'; then
            missing+=("$pkg")
        fi
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    local sudo=()
    [ "$(id -u)" -ne 0 ] && sudo=(sudo)
    echo "Installing ${missing[*]}"
    "${sudo[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends \
        "${missing[@]}" >/dev/null
}

# build_preset NAME: configures and builds one of CMakePresets.json's presets, two jobs at once.
build_preset() {
    cmake --preset "$1" -S "$ZELVIC_ROOT" >/dev/null
    cmake --build --preset "$1" -j2
}
