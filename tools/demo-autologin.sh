#!/usr/bin/env bash
# Shows the auto-login daemon signing in by itself after the computer wakes, with everything on
# private D-Bus buses and 127.0.0.1:
#   - a private "system" bus with python-dbusmock's NetworkManager (a Wi-Fi device joined to
#     "larkmead_staff") and logind;
#   - a private session bus with a notification server mock and a fresh, unlocked GNOME Keyring
#     holding the demo account;
#   - the portal simulator on 127.0.0.1:18080, which also serves the probe site 127.0.0.1:18082 as
#     the internet looks through the portal: reachable (204) while signed in, else a redirect to the
#     sign-in page.
# Then it runs `netlatchctl daemon --verbose`, has logind announce a wake (PrepareForSleep(false)),
# waits for the sign-in; has the portal drop the session (POST /simulator/logout, as its idle
# time-out would) and waits for the daemon to sign in again by itself; stops the daemon with SIGTERM
# and prints the banners that were posted.
# Usage: tools/demo-autologin.sh [build-dir]   (default build/test; configured with the test preset)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/test}
python=/usr/bin/python3 # python-dbusmock lives with the system python
portal_port=18080

cmake --preset test -B "$build" >/dev/null
cmake --build "$build" --target netlatchctl netlatch-portal-simulator >/dev/null
netlatchctl="$build/src/cli/netlatchctl"

listening() { (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null; }
for port in "$portal_port" 18082; do
    if listening "$port"; then
        echo "demo: 127.0.0.1:$port is already in use; stop whatever listens there first" >&2
        exit 1
    fi
done

scratch=$(mktemp -d "${TMPDIR:-/tmp}/netlatch-demo.XXXXXX")
mkdir -p "$scratch/home" "$scratch/config" "$scratch/data" "$scratch/cache" "$scratch/run"
chmod 700 "$scratch/run"
export HOME="$scratch/home" XDG_CONFIG_HOME="$scratch/config" XDG_DATA_HOME="$scratch/data" \
    XDG_CACHE_HOME="$scratch/cache" XDG_RUNTIME_DIR="$scratch/run"
unset GNOME_KEYRING_CONTROL

pids=()
cleanup() {
    local pid
    for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
        pid=${pids[i]}
        kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null || true
    done
    rm -rf "$scratch"
}
trap cleanup EXIT

tag=demo
. tools/private-buses.sh
start_bus system
start_bus session
export DBUS_SYSTEM_BUS_ADDRESS="unix:path=$scratch/system_bus" DBUS_SESSION_BUS_ADDRESS="unix:path=$scratch/session_bus"

# NetworkManager: wlan0, joined to the campus network larkmead_staff.
start_mock --system org.freedesktop.NetworkManager networkmanager
"$python" - <<'EOF'
import dbus
bus = dbus.SystemBus()
nm = '/org/freedesktop/NetworkManager'
mock = dbus.Interface(bus.get_object('org.freedesktop.NetworkManager', nm), 'org.freedesktop.DBus.Mock')
device = mock.AddWiFiDevice('wlan0', 'wlan0', dbus.UInt32(100))
ap = mock.AddAccessPoint(device, 'ap_wlan0', 'larkmead_staff', '00:11:22:33:44:55', dbus.UInt32(2),
                         dbus.UInt32(2412), dbus.UInt32(54000), dbus.Byte(80), dbus.UInt32(0))
dbus.Interface(bus.get_object('org.freedesktop.NetworkManager', device), 'org.freedesktop.DBus.Mock').AddProperty(
    'org.freedesktop.NetworkManager.Device.Wireless', 'ActiveAccessPoint', dbus.ObjectPath(ap))
EOF

# logind, which announces the wake, with a graphical session of this user.
start_mock --system org.freedesktop.login1 logind
"$python" - "$(id -u)" "$(id -un)" <<'EOF'
import sys, dbus
mock = dbus.Interface(dbus.SystemBus().get_object('org.freedesktop.login1', '/org/freedesktop/login1'),
                      'org.freedesktop.DBus.Mock')
# The template's GetUser adds a number to a string and fails; give it one that works.
mock.AddMethod('org.freedesktop.login1.Manager', 'GetUser', 'u', 'o',
               "ret = '/org/freedesktop/login1/user/%d' % args[0]")
mock.AddSession('c1', 'seat0', dbus.UInt32(int(sys.argv[1])), sys.argv[2], True)
EOF
# A screen saver, as a desktop session has one.
start_mock --session org.gnome.ScreenSaver gnome_screensaver
# The desktop's notification server; its log records every banner.
start_mock --session org.freedesktop.Notifications notification_daemon "$scratch/notifications.log"

# The Secret Service with the demo account.
printf 'netlatch-demo' | gnome-keyring-daemon --unlock --components=secrets >/dev/null
gnome-keyring-daemon --start --components=secrets >/dev/null 2>&1
wait_for_name --session org.freedesktop.secrets
pids+=($(gdbus call --session --dest org.freedesktop.DBus --object-path /org/freedesktop/DBus \
    --method org.freedesktop.DBus.GetConnectionUnixProcessID org.freedesktop.secrets | tr -dc '0-9'))
printf 'demo-password\n' | "$netlatchctl" account set --username demo --password-stdin

build_tools="$build/tools/portal-simulator"
"$build_tools/netlatch-portal-simulator" --port "$portal_port" --probe-port 18082 >"$scratch/portal.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do listening "$portal_port" && break; sleep 0.1; done

"$netlatchctl" autologin on
"$netlatchctl" daemon --verbose 2>"$scratch/daemon.log" &
daemon=$!
pids+=("$daemon")
wait_for_line() { # text [count] [file]
    local file=${3:-$scratch/daemon.log}
    for _ in $(seq 300); do
        [ "$(grep -cF "$1" "$file")" -ge "${2:-1}" ] && return 0
        sleep 0.1
    done
    echo "demo: never logged '$1' (${2:-1} times) in $file" >&2
    cat "$file" >&2
    exit 1
}
wait_for_line "✅ 自动联网监听已启动"

echo "demo: logind announces the wake: PrepareForSleep(false)"
gdbus call --system --dest org.freedesktop.login1 --object-path /org/freedesktop/login1 \
    --method org.freedesktop.DBus.Mock.EmitSignal org.freedesktop.login1.Manager PrepareForSleep b '[<false>]' >/dev/null
wait_for_line "✅ 自动联网成功，已发送通知"
# The daemon's next lookup finds the internet through the portal.
wait_for_line "HEAD / -> 204" 1 "$scratch/portal.log"

echo "demo: the portal drops the session: POST /simulator/logout"
exec 3<>"/dev/tcp/127.0.0.1/$portal_port"
printf 'POST /simulator/logout HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Length: 0\r\nConnection: close\r\n\r\n' >&3
cat <&3 >/dev/null
exec 3<&-
wait_for_line "📶 检测到网络连接断开，检查是否需要自动联网..."
wait_for_line "✅ 自动联网成功，已发送通知" 2

kill -TERM "$daemon"
status=0
wait "$daemon" || status=$?
echo "demo: ---------- netlatchctl daemon --verbose (exited with $status) ----------"
cat "$scratch/daemon.log"
echo "demo: ---------- banners posted to the notification server ----------"
grep -F 'Notify' "$scratch/notifications.log" || echo "(none)"
echo "demo: ---------- the portal's log, without the probe site's answers ----------"
grep -vF 'HEAD / ->' "$scratch/portal.log" || true
exit "$status"
