#!/usr/bin/env bash
# Pictures of Netlatch on a real desktop for README: Debian's stock XFCE panel under Xvfb, dark and
# light, with its tray, taskbar and notification server (real-desktop.sh). For each panel it installs
# the icons and the desktop entry into the scratch session's data folder (as the package does for the
# system), signs in against the portal simulator on the build's portal address (loopback), and takes:
#   docs/panel/<scheme>-tray.png      the panel: the tray symbol as the panel tints it, the taskbar entry
#   docs/panel/<scheme>-menu.png      the tray menu opened by a click on the item
#   docs/panel/<scheme>-banner.png    the banners of a quick sign-in (一键联网)
#   docs/panel/<scheme>-fallback.png  the tray symbol where the panel does not know the icon name
# Then on GNOME Shell on Wayland with the AppIndicator extension (gnome-wayland.sh), the same top bar,
# menu and banners (docs/panel/gnome-*.png) and each of the main window's screens as the session draws
# it (docs/panel/gnome-window-<screen>.png); each window is then closed with a click on its own close
# button, and the script fails if it stays open.
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
gnome_tool=${GNOME_WAYLAND:-$(dirname "$tool")/gnome-wayland.sh}
out=docs/panel
portal=$(sed -n 's/^NETLATCH_PORTAL_ADDRESS:[A-Z]*=//p' "$build/CMakeCache.txt")
port=${portal##*:}
case $portal in 127.*) ;; *) echo "real-panel-shots: the build's portal ($portal) is not on loopback" >&2; exit 1 ;; esac
netlatch=$build/src/app/netlatch
# Desktops take a desktop entry only when its Exec program is on the PATH (GLib's rule).
export PATH="$build/src/app:$PATH"
scratch=$(mktemp -d)
mkdir -p "$out"

dpkg --get-selections > "$scratch/packages-before"
simulator=
cleanup() {
  [ -n "$simulator" ] && kill "$simulator" 2>/dev/null || true
  for desktop in "$scratch"/dark "$scratch"/light; do
    [ -f "$desktop/env" ] && bash "$tool" stop "$desktop" > /dev/null || true
  done
  [ -f "$scratch/gnome/env" ] && bash "$gnome_tool" stop "$scratch/gnome" > /dev/null || true
  dpkg --get-selections > "$scratch/packages-after"
  added=$(comm -13 <(awk '{print $1}' "$scratch/packages-before" | sort) \
                   <(awk '{print $1}' "$scratch/packages-after" | sort))
  if [ -n "$added" ]; then
    echo "real-panel-shots: removing what real-desktop.sh installed: $(echo $added)"
    # shellcheck disable=SC2086
    DEBIAN_FRONTEND=noninteractive apt-get purge -y -q $added > "$scratch/purge.log" 2>&1 ||
      echo "real-panel-shots: purge failed, see $scratch/purge.log" >&2
  fi
  rm -rf "$scratch/dark" "$scratch/light" "$scratch/gnome"
}
trap cleanup EXIT

# The panel strip (0..26), its right end (tray and notifications), the banners' corner.
crop() { /usr/bin/convert "$1" -crop "$2" +repage -strip "$3"; }

"$build/tools/portal-simulator/netlatch-portal-simulator" --port "$port" > "$scratch/simulator.log" 2>&1 &
simulator=$!

# The icons and the desktop entry in the session's data folder DIR, as the package installs them for
# the system.
install_desktop_files() {
  icons=$1/icons/hicolor
  mkdir -p "$icons/symbolic/apps" "$icons/scalable/apps" "$1/applications"
  cp data/icons/app.netlatch.Netlatch-symbolic.svg "$icons/symbolic/apps/"
  cp data/images/Logo.svg "$icons/scalable/apps/app.netlatch.Netlatch.svg"
  cp data/app.netlatch.Netlatch.desktop "$1/applications/"
}
save_account() {
  printf '%s\n' "${1:-demo-password}" | "$build/src/cli/netlatchctl" account set --username demo --password-stdin
}

xfce_pass() {
  local scheme=$1 desktop=$scratch/$1
  bash "$tool" start "$desktop" "$scheme"
  # shellcheck disable=SC1091
  source "$desktop/env"
  install_desktop_files "$XDG_DATA_HOME"
  save_account

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
  # Away from the item, so that its tooltip does not cover the banners.
  xdotool mousemove 640 500

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
}

# GNOME on Wayland: the shell answers JavaScript (Eval) and takes clicks from a virtual pointer.
desktop=$scratch/gnome
shell() { bash "$gnome_tool" eval "$desktop" "$1" | sed -n "s/^(true, '\"\(.*\)\"')$/\1/p"; }
pointer='const {Clutter, GLib} = imports.gi; const now = () => GLib.get_monotonic_time();
  global._netlatchPointer ??= Clutter.get_default_backend().get_default_seat()
    .create_virtual_device(Clutter.InputDeviceType.POINTER_DEVICE);
  const pointer = global._netlatchPointer;'
click() {
  shell "$pointer pointer.notify_absolute_motion(now(), $1 - 10, $2); 0" > /dev/null; sleep 0.3
  shell "$pointer pointer.notify_absolute_motion(now(), $1, $2); 0" > /dev/null; sleep 0.3
  shell "$pointer pointer.notify_button(now(), Clutter.BUTTON_PRIMARY, Clutter.ButtonState.PRESSED); 0" > /dev/null
  sleep 0.2
  shell "$pointer pointer.notify_button(now(), Clutter.BUTTON_PRIMARY, Clutter.ButtonState.RELEASED); 0" > /dev/null
}
# The frame of the window titled TITLE (default: the main window) as "x y width height", empty while
# it is closed or not yet placed.
window_frame() {
  shell "global.get_window_actors().map(a => a.meta_window).filter(w => w.get_title() === '${1:-Netlatch}')
    .map(w => w.get_frame_rect()).filter(r => r.width > 0).map(r => [r.x, r.y, r.width, r.height].join(' ')).join('')"
}
# Closes the window titled TITLE with its own close button, the rightmost of its title bar's buttons.
close_window() {
  local title=$1 x y w h
  read -r x y w h <<< "$(window_frame "$title")"
  for _ in 1 2 3; do
    click $((x + w - 18)) $((y + 15))
    sleep 1
    [ -z "$(window_frame "$title")" ] && return
  done
  echo "real-panel-shots: the window \"$title\" did not close on GNOME" >&2
  exit 1
}
screen_shot() { bash "$gnome_tool" shot "$desktop" "$desktop/screen.png" > /dev/null; }
gnome_pass() {
  # The shell reads the icon theme when it starts: the icons are in place before.
  install_desktop_files "$desktop/home/.local/share"
  bash "$gnome_tool" start "$desktop"
  # shellcheck disable=SC1091
  source "$desktop/env"
  save_account
  # The harness's own "unsafe mode" banner would cover the windows' title bars.
  shell 'Main.messageTray.getSources().forEach(source => source.destroy()); 0' > /dev/null
  local conf=$XDG_CONFIG_HOME/Netlatch/netlatch.conf screen frame x y w h mx my alert ax ay aw ah
  mkdir -p "$(dirname "$conf")"
  # Each screen the main window opens on, by what the preferences say the user has seen.
  for screen in update-log welcome credential-setup settings; do
    gnome_screen "$screen"
  done
  bash "$gnome_tool" stop "$desktop" > /dev/null
}
gnome_screen() {
  local screen=$1
  case $screen in
    update-log) printf '' ;;
    welcome) printf '[General]\nlastShownVersion=2.0\n' ;;
    credential-setup) printf '[General]\nlastShownVersion=2.0\nhasShownWelcome=true\n' ;;
    settings) printf '[General]\nlastShownVersion=2.0\nhasShownWelcome=true\nhasSetupCredentials=true\n' ;;
  esac > "$conf"
  [ "$screen" = credential-setup ] && save_account refused
  setsid "$netlatch" > "$desktop/netlatch-$screen.log" 2>&1 < /dev/null &
  frame=
  for _ in $(seq 50); do frame=$(window_frame); [ -n "$frame" ] && break; sleep 0.2; done
  [ -n "$frame" ] || { echo "real-panel-shots: no window on GNOME for $screen" >&2; exit 1; }
  sleep 1.5
  frame=$(window_frame)
  read -r x y w h <<< "$frame"
  screen_shot
  crop "$desktop/screen.png" "${w}x${h}+$x+$y" "$out/gnome-window-$screen.png"
  if [ "$screen" = settings ]; then
    crop "$desktop/screen.png" 1280x32+0+0 "$out/gnome-tray.png"
    menu=$(shell 'const item = Object.entries(Main.panel.statusArea).find(([k]) => k.startsWith("appindicator"))[1];
      const [x, y] = item.get_transformed_position(); [x + item.width / 2, y + item.height / 2].join(" ")')
    read -r mx my <<< "$menu"
    click "${mx%.*}" "${my%.*}"
    sleep 1
    screen_shot
    crop "$desktop/screen.png" 420x260+860+0 "$out/gnome-menu.png"
    shell 'Main.panel.menuManager.activeMenu?.close(); 0' > /dev/null
    "$netlatch" --action quick-login
    sleep 1.5
    screen_shot
    crop "$desktop/screen.png" 600x160+340+0 "$out/gnome-banner.png"
    shell 'Main.messageTray.getSources().forEach(source => source.destroy()); 0' > /dev/null
  fi
  if [ "$screen" = credential-setup ]; then
    # The portal refuses the stored password: 验证并继续 opens the alert, a window of its own.
    click $((x + w / 2)) $((y + h - 53))
    alert=
    for _ in $(seq 50); do alert=$(window_frame "验证失败 — Netlatch"); [ -n "$alert" ] && break; sleep 0.2; done
    [ -n "$alert" ] || { echo "real-panel-shots: no alert on GNOME" >&2; exit 1; }
    sleep 1
    read -r ax ay aw ah <<< "$alert"
    screen_shot
    crop "$desktop/screen.png" "${aw}x${ah}+$ax+$ay" "$out/gnome-window-alert.png"
    close_window "验证失败 — Netlatch"
    save_account demo-password
  fi
  close_window Netlatch
  "$netlatch" --action quit
  sleep 1
}

for panel in ${PANELS:-dark light gnome}; do
  case $panel in
    gnome) gnome_pass ;;
    *) xfce_pass "$panel" ;;
  esac
done
ls -l "$out"
