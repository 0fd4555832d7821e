#!/bin/sh
# Installs the Debian packages Kestrove needs to build, run and test, when any is missing.
set -eu

PACKAGES="qt6-base-dev libqt6sql6-sqlite libsqlite3-dev qcoro-qt6-dev qtkeychain-qt6-dev qt6-httpserver-dev qt6-svg-dev
libqt6svg6 libsecret-1-0 libsystemd-dev cmake ninja-build g++ make xvfb xauth dbus gnome-keyring
adwaita-icon-theme imagemagick x11-apps ccache qt6-l10n-tools"
# The accessibility test reads the windows through the accessibility bus.
PACKAGES="$PACKAGES at-spi2-core python3-pyatspi"
# The build renders the icons; the install-tree test validates what is installed and starts it over D-Bus.
PACKAGES="$PACKAGES librsvg2-bin desktop-file-utils appstream libglib2.0-bin"
for option in "$@"; do
    case "$option" in
        # What the libFuzzer targets need.
        --fuzz) PACKAGES="$PACKAGES clang-14 libclang-rt-14-dev" ;;
        # dpkg-shlibdeps for `make package`, and lintian for `make package-check`.
        --package) PACKAGES="$PACKAGES dpkg-dev" ;;
        --package-check) PACKAGES="$PACKAGES dpkg-dev lintian" ;;
        *) echo "setup.sh: unknown option $option" >&2; exit 2 ;;
    esac
done

missing=""
for package in $PACKAGES; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "ok installed"; then
        missing="$missing $package"
    fi
done

if [ -z "$missing" ]; then
    exit 0
fi

echo "Installing missing packages:$missing"
if [ "$(id -u)" -eq 0 ]; then
    SUDO=""
elif command -v sudo >/dev/null 2>&1; then
    SUDO="sudo"
else
    echo "These packages are missing and this user cannot install them:$missing" >&2
    echo "Install them as root: apt-get install$missing" >&2
    exit 1
fi
$SUDO apt-get update -qq
# shellcheck disable=SC2086
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends $missing
