# Shared by scripts/run, scripts/test and scripts/package: installs what is missing and builds.
# shellcheck shell=bash

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD_DIR="${RADARFLOW_BUILD_DIR:-$ROOT/build}"

PACKAGES=(
    cmake g++ make
    qtbase5-dev libqt5charts5-dev libqt5serialport5-dev libqt5sql5-sqlite
    qttools5-dev-tools qttools5-dev
    fonts-wqy-microhei qttranslations5-l10n
    e2fsprogs
    xvfb xauth
    mbpoll
    libreoffice-calc-nogui
    tzdata
    libqt5sql5-psql libpq-dev
    postgresql postgresql-common
)

install_packages() {
    local missing=()
    for p in "${PACKAGES[@]}" "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# build_project [TARGET...]: configures, then builds the targets named, or all.
build_project() {
    cmake -S "$ROOT" -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
    if [ $# -gt 0 ]; then
        cmake --build "$BUILD_DIR" --parallel "$(nproc)" --target "$@"
    else
        cmake --build "$BUILD_DIR" --parallel "$(nproc)"
    fi
}
