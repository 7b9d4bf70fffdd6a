#!/usr/bin/env bash
# Installs every Debian 12 package that building Netlatch and running its tests need; with the
# argument `package`, also the tools that build and check the Debian package.
# Idempotent; run as root (or through sudo). Downloads nothing but Debian packages.
# Usage: scripts/install-deps.sh [package]
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-svg-dev libqt6svg6
  libsecret-1-dev libxcb1-dev libxcb-keysyms1-dev
  libcpp-httplib-dev libssl-dev
  libsqlite3-dev # the sign-in history
  dbus dbus-x11 gnome-keyring gcr libsecret-tools python3 python3-dbusmock
  xvfb xauth xdotool openbox # openbox: the window manager of the desktop tests
  qt6-translations-l10n # Qt's own messages in the user's language
  qt6-qpa-plugins
  fonts-noto-cjk fonts-noto-color-emoji # Chinese text and the emoji of the screens
  openssl # the stats tests make a self-signed certificate for their https server
  time # /usr/bin/time, read by bench/login_memory.sh
  desktop-file-utils libglib2.0-bin # the autostart test validates its entry and starts it as GNOME does
  strace # places a SIGKILL at a write in the history test
  hyperfine curl # bench/sign_in_time.sh
  zsh fish # the completion test runs the generated scripts in each shell
  clang libclang-rt-14-dev # the libFuzzer targets of scripts/fuzz.sh
  at-spi2-core python3-pyatspi # the accessibility test reads the windows as a screen reader does
)
if [ "${1:-}" = package ]; then
  # CPack's DEB generator (dpkg-shlibdeps, file), the checks of scripts/check-package.sh, man(1).
  packages+=(dpkg-dev file lintian appstream desktop-file-utils man-db)
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  echo "All build and test packages are installed."
  exit 0
fi

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -q
$SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
