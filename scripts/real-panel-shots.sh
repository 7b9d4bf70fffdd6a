#!/usr/bin/env bash
# Pictures of Netlatch on a real desktop for README: Debian's stock XFCE panel under Xvfb, dark and
# light, with its tray, taskbar and notification server (real-desktop.sh). For each panel it installs
# the icons and the desktop entry into the scratch session's data folder (as the package does for the
# system), signs in against the portal simulator on the build's portal address (loopback), and takes:
#   docs/panel/<scheme>-tray.png      the panel: the tray symbol as the panel tints it, the taskbar entry
#   docs/panel/<scheme>-menu.png      the tray menu opened by a click on the item
#   docs/panel/<scheme>-banner.png    the banners of a quick sign-in (一键联网)
#   docs/panel/<scheme>-fallback.png  the tray symbol where the panel does not know the icon name
#
#   scripts/real-panel-shots.sh [BUILD_DIR]   (default build/test; needs netlatch, netlatchctl and
#                                              netlatch-portal-simulator built there)
# real-desktop.sh installs the Debian packages it needs; this script removes again whatever that added
# (an installed notification server answers every test's private bus). REAL_DESKTOP names the tool
# (default: ../shared/tools/real-desktop.sh beside the repository).
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(cd "${1:-build/test}" && pwd)
tool=${REAL_DESKTOP:-$(cd .. && pwd)/shared/tools/real-desktop.sh}
out=docs/panel
portal=$(sed -n 's/^NETLATCH_PORTAL_ADDRESS:[A-Z]*=//p' "$build/CMakeCache.txt")
port=${portal##*:}
case $portal in 127.*) ;; *) echo "real-panel-shots: the build's portal ($portal) is not on loopback" >&2; exit 1 ;; esac
netlatch=$build/src/app/netlatch
scratch=$(mktemp -d)
mkdir -p "$out"

dpkg --get-selections > "$scratch/packages-before"
simulator=
cleanup() {
  [ -n "$simulator" ] && kill "$simulator" 2>/dev/null || true
  for desktop in "$scratch"/dark "$scratch"/light; do
    [ -f "$desktop/env" ] && bash "$tool" stop "$desktop" > /dev/null || true
  done
  dpkg --get-selections > "$scratch/packages-after"
  added=$(comm -13 <(awk '{print $1}' "$scratch/packages-before" | sort) \
                   <(awk '{print $1}' "$scratch/packages-after" | sort))
  if [ -n "$added" ]; then
    echo "real-panel-shots: removing what real-desktop.sh installed: $(echo $added)"
    # shellcheck disable=SC2086
    DEBIAN_FRONTEND=noninteractive apt-get purge -y -q $added > "$scratch/purge.log" 2>&1 ||
      echo "real-panel-shots: purge failed, see $scratch/purge.log" >&2
  fi
  rm -rf "$scratch/dark" "$scratch/light"
}
trap cleanup EXIT

# The panel strip (0..26), its right end (tray and notifications), the banners' corner.
crop() { /usr/bin/convert "$1" -crop "$2" +repage -strip "$3"; }

"$build/tools/portal-simulator/netlatch-portal-simulator" --port "$port" > "$scratch/simulator.log" 2>&1 &
simulator=$!

for scheme in dark light; do
  desktop=$scratch/$scheme
  bash "$tool" start "$desktop" "$scheme"
  # shellcheck disable=SC1091
  source "$desktop/env"
  icons=$XDG_DATA_HOME/icons/hicolor
  mkdir -p "$icons/symbolic/apps" "$icons/scalable/apps" "$XDG_DATA_HOME/applications"
  cp data/icons/app.netlatch.Netlatch-symbolic.svg "$icons/symbolic/apps/"
  cp data/images/Logo.svg "$icons/scalable/apps/app.netlatch.Netlatch.svg"
  cp data/app.netlatch.Netlatch.desktop "$XDG_DATA_HOME/applications/"
  printf 'demo-password\n' | "$build/src/cli/netlatchctl" account set --username demo --password-stdin

  setsid "$netlatch" > "$desktop/netlatch.log" 2>&1 < /dev/null &
  for _ in $(seq 100); do
    gdbus call --session --dest org.kde.StatusNotifierWatcher --object-path /StatusNotifierWatcher \
      --method org.freedesktop.DBus.Properties.Get org.kde.StatusNotifierWatcher RegisteredStatusNotifierItems \
      2>/dev/null | grep -q StatusNotifierItem && break
    sleep 0.2
  done
  sleep 2
  import -window root "$desktop/screen.png"
  crop "$desktop/screen.png" 1280x26+0+0 "$out/$scheme-tray.png"

  # The tray item sits left of the notification bell at the panel's right end.
  xdotool mousemove 1128 12 click 1
  sleep 1.5
  import -window root "$desktop/screen.png"
  crop "$desktop/screen.png" 400x170+880+0 "$out/$scheme-menu.png"
  xdotool key Escape

  "$netlatch" --action quick-login
  sleep 1.5
  import -window root "$desktop/screen.png"
  crop "$desktop/screen.png" 480x220+800+0 "$out/$scheme-banner.png"

  # Without the installed symbolic icon the panel shows the item's own pictures.
  "$netlatch" --action quit
  rm "$icons/symbolic/apps/app.netlatch.Netlatch-symbolic.svg"
  setsid "$netlatch" > "$desktop/netlatch-fallback.log" 2>&1 < /dev/null &
  sleep 4
  import -window root "$desktop/screen.png"
  crop "$desktop/screen.png" 200x26+1080+0 "$out/$scheme-fallback.png"
  "$netlatch" --action quit
  bash "$tool" stop "$desktop" > /dev/null
done
ls -l "$out"
