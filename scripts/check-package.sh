#!/usr/bin/env bash
# CI: builds the Debian package, checks it with lintian, installs it on this machine as a user would
# (apt-get install ./netlatch_*.deb, which pulls its dependencies), checks what it installed, and
# removes it again. Run as root (or with sudo) on a Debian 12 machine that may be changed.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/package.sh
deb=$(ls build/package/netlatch_*.deb)
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"

echo "== the package"
dpkg-deb --info "$deb"
echo "Size: $(du -k "$deb" | cut -f1) KiB file, $(dpkg-deb --field "$deb" Installed-Size) KiB installed"

echo "== lintian (every tag shown; an error fails the check)"
lintian --display-info --fail-on error "$deb"

echo "== apt-get install ./$deb"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get install -y -q "./$deb"
remove() { $SUDO apt-get remove -y -q netlatch >/dev/null; }
trap remove EXIT

echo "== the installed programs"
netlatchctl --version
if dpkg -L netlatch | grep -qx /usr/bin/netlatch; then
  QT_QPA_PLATFORM=offscreen netlatch --version
else
  echo "skipped: this build has no tray application (netlatch), so no desktop entry or metainfo either"
fi

echo "== netlatchctl loads its desktop plugin from the package's library folder"
loaded=$(LD_DEBUG=files timeout 60 netlatchctl account show 2>&1 >/dev/null || true)
plugin=$(grep -o "file=/usr/lib/[^ ]*/netlatch/netlatch-linux-desktop.so" <<<"$loaded" | head -n 1) ||
  { echo "netlatchctl account show did not load netlatch-linux-desktop.so" >&2; exit 1; }
echo "${plugin#file=}"

echo "== the systemd units start an installed program and pass systemd-analyze"
for unit in /usr/lib/systemd/user/netlatch.service /usr/lib/systemd/system/netlatch-daemon.service; do
  program=$(sed -n 's/^ExecStart=\([^ ]*\).*/\1/p' "$unit")
  [ -x "$program" ] || { echo "$unit starts $program, which is not installed" >&2; exit 1; }
  echo "$unit: ExecStart=$program"
done
systemd-analyze verify /usr/lib/systemd/system/netlatch-daemon.service
systemd-analyze security --offline=true --threshold=20 /usr/lib/systemd/system/netlatch-daemon.service | tail -1
if ! systemctl is-enabled --quiet netlatch-daemon.service 2>/dev/null; then
  echo "netlatch-daemon.service: not enabled, as shipped"
else
  echo "netlatch-daemon.service is enabled by the package; it must not be" >&2; exit 1
fi

echo "== shell completions"
for file in /usr/share/bash-completion/completions/netlatchctl /usr/share/zsh/vendor-completions/_netlatchctl \
            /usr/share/fish/vendor_completions.d/netlatchctl.fish; do
  [ -s "$file" ] || { echo "$file is missing" >&2; exit 1; }
done
bash -n /usr/share/bash-completion/completions/netlatchctl

echo "== manual pages"
for page in $(dpkg -L netlatch | sed -n 's|^/usr/share/man/man1/\(.*\)\.1\.gz$|\1|p'); do
  man -w "$page"
  # groff's warnings (unknown macros, bad escapes) fail the check.
  warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l "$(man -w "$page")" 2>&1 >/dev/null)
  [ -z "$warnings" ] || { echo "$page.1: $warnings" >&2; exit 1; }
done

echo "== desktop entry and AppStream metadata"
for entry in $(dpkg -L netlatch | grep '^/usr/share/applications/.*\.desktop$'); do
  desktop-file-validate "$entry"
  icon=$(sed -n 's/^Icon=//p' "$entry")
  [ -f "/usr/share/icons/hicolor/scalable/apps/$icon.svg" ] || { echo "$entry: no icon $icon" >&2; exit 1; }
  # Every Exec (the actions' too) starts the installed program, and the window class is its name:
  # desktops match windows to the entry by it (WM_CLASS on X11, the app id on Wayland).
  program=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$entry" | sort -u)
  [ "$(echo "$program" | wc -l)" = 1 ] && command -v "$program" > /dev/null ||
    { echo "$entry: Exec names $(echo $program), not one installed program" >&2; exit 1; }
  [ "$(sed -n 's/^StartupWMClass=//p' "$entry")" = "$program" ] ||
    { echo "$entry: StartupWMClass is not $program" >&2; exit 1; }
  [ "$(basename "$entry" .desktop)" = "$icon" ] || { echo "$entry: icon $icon is not the entry's name" >&2; exit 1; }
  echo "$entry: valid, icon $icon installed"
done
# Panels and notification servers load icons through gdk-pixbuf, which takes a file for SVG only when
# "<svg" comes within its first 256 bytes (shared-mime-info's rule); a long comment first hides it.
for svg in $(dpkg -L netlatch | grep '^/usr/share/icons/.*\.svg$'); do
  head -c 256 "$svg" | grep -q '<svg' || { echo "$svg: \"<svg\" not within the first 256 bytes" >&2; exit 1; }
done
for metainfo in $(dpkg -L netlatch | grep '^/usr/share/metainfo/.*\.xml$'); do
  appstreamcli validate --no-net "$metainfo"
done

trap - EXIT
remove
[ ! -e /usr/bin/netlatchctl ] || { echo "netlatchctl is still installed after removal" >&2; exit 1; }
echo "== the package installs, works and removes cleanly"
