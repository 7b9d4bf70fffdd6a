#!/usr/bin/env bash
# The idle auto-login daemon: its CPU time as a share of one core and the lines it writes to the
# system log per minute, over a stretch of listening (5 minutes by default) on a campus Wi-Fi network
# with the internet reachable and automatic sign-in on. Every netlatchctl given runs side by side
# under the same load, each with its own HOME, so that two builds (say, before and after a change)
# can be compared fairly; a machine shared with other work disturbs the CPU figures, so compare them
# only within one run.
#
# Everything stays private: buses of its own (python-dbusmock's NetworkManager with wlan0 joined to
# "larkmead_staff", logind, a notification server), the portal simulator on 127.0.0.1:18080 serving
# the probe site 127.0.0.1:18082 as signed in, and a system log of its own: the script re-runs itself
# in a private mount namespace (root, as on the development machine) where /dev/log is a socket it
# reads, so the machine's own log is never touched, and in a network namespace of its own, whose
# loopback alone it uses, so no other program's servers on this machine are in its way.
#
# With --hung-networkmanager, NetworkManager's mock is stopped once the daemons run (its name held,
# no answers, as a wedged NetworkManager behaves), and the once-a-second listening line is counted on
# the daemons' stderr (--verbose): a main thread that waits on NetworkManager writes it less often.
#
# Usage: bench/daemon_idle.sh [--hung-networkmanager] [seconds] [netlatchctl ...]
#        (default: 300 seconds, build/test/src/cli/netlatchctl; the simulator from build/test)
set -euo pipefail
script=$(realpath "$0")
cd "$(dirname "$script")/.."
if [ -z "${NETLATCH_BENCH_PRIVATE_LOG:-}" ]; then
    exec env NETLATCH_BENCH_PRIVATE_LOG=1 unshare --mount --propagation private --net "$script" "$@"
fi
ip link set lo up
hung=
if [ "${1:-}" = --hung-networkmanager ]; then
    hung=1
    shift
fi
seconds=${1:-300}
shift || true
binaries=("$@")
[ ${#binaries[@]} -gt 0 ] || binaries=(build/test/src/cli/netlatchctl)
simulator=build/test/tools/portal-simulator/netlatch-portal-simulator
python=/usr/bin/python3 # python-dbusmock lives with the system python
warmup=10

scratch=$(mktemp -d "${TMPDIR:-/tmp}/netlatch-idle.XXXXXX")
pids=()
cleanup() {
    for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
        kill "${pids[i]}" 2>/dev/null && wait "${pids[i]}" 2>/dev/null || true
    done
    rm -rf --one-file-system "$scratch"
}
trap cleanup EXIT

# A /dev of this namespace's own, built aside and then moved over /dev: the devices it needs bound
# in from the real /dev, plus a /dev/log that this script reads. Nothing under $scratch refers to the
# real /dev afterwards, so removing $scratch can never reach it.
mkdir "$scratch/dev"
mount -t tmpfs tmpfs "$scratch/dev"
for node in null zero full random urandom tty; do
    touch "$scratch/dev/$node"
    mount --bind "/dev/$node" "$scratch/dev/$node"
done
for dir in pts shm; do
    mkdir "$scratch/dev/$dir"
    mount --rbind "/dev/$dir" "$scratch/dev/$dir"
done
ln -s /proc/self/fd "$scratch/dev/fd"
mount --move "$scratch/dev" /dev
"$python" - "$scratch/syslog" <<'EOF' &
import socket, sys
sock = socket.socket(socket.AF_UNIX, socket.SOCK_DGRAM)
sock.bind('/dev/log')
with open(sys.argv[1], 'ab', buffering=0) as out:
    while True:
        out.write(sock.recv(65536).rstrip(b'\0\n') + b'\n')
EOF
pids+=($!)
for _ in $(seq 100); do [ -S /dev/log ] && break; sleep 0.1; done

tag=bench
. tools/private-buses.sh
start_bus system
start_bus session
export DBUS_SYSTEM_BUS_ADDRESS="unix:path=$scratch/system_bus" DBUS_SESSION_BUS_ADDRESS="unix:path=$scratch/session_bus"
start_mock --system org.freedesktop.NetworkManager networkmanager
network_manager=${pids[-1]}
"$python" - <<'EOF'
import dbus
bus = dbus.SystemBus()
mock = dbus.Interface(bus.get_object('org.freedesktop.NetworkManager', '/org/freedesktop'), 'org.freedesktop.DBus.Mock')
device = mock.AddWiFiDevice('wlan0', 'wlan0', dbus.UInt32(100))
ap = mock.AddAccessPoint(device, 'ap_wlan0', 'larkmead_staff', '00:11:22:33:44:55', dbus.UInt32(2),
                         dbus.UInt32(2412), dbus.UInt32(54000), dbus.Byte(80), dbus.UInt32(0))
dbus.Interface(bus.get_object('org.freedesktop.NetworkManager', device), 'org.freedesktop.DBus.Mock').AddProperty(
    'org.freedesktop.NetworkManager.Device.Wireless', 'ActiveAccessPoint', dbus.ObjectPath(ap))
EOF
start_mock --system org.freedesktop.login1 logind
start_mock --session org.freedesktop.Notifications notification_daemon

"$simulator" --port 18080 --probe-port 18082 --signed-in >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 100); do (exec 3<>/dev/tcp/127.0.0.1/18082) 2>/dev/null && break; sleep 0.1; done

daemons=()
for i in "${!binaries[@]}"; do
    home="$scratch/home$i"
    mkdir -p "$home/config" "$home/data" "$home/cache" "$home/run"
    chmod 700 "$home/run"
    run=(env HOME="$home" XDG_CONFIG_HOME="$home/config" XDG_DATA_HOME="$home/data"
         XDG_CACHE_HOME="$home/cache" XDG_RUNTIME_DIR="$home/run" "${binaries[i]}")
    "${run[@]}" autologin on >/dev/null
    "${run[@]}" daemon ${hung:+--verbose} 2>"$scratch/daemon$i.err" &
    pids+=($!)
    daemons+=($!)
done

ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }   # user + system time, in clock ticks
lines() { grep -c "netlatch\[$1\]" "$scratch/syslog" || true; }
statusLines() { grep -c "⏱️ 自动联网监听中" "$scratch/daemon$1.err" || true; }
sleep "$warmup"
[ -z "$hung" ] || kill -STOP "$network_manager"
declare -A ticks0 lines0 status0
for i in "${!daemons[@]}"; do
    pid=${daemons[i]}
    ticks0[$pid]=$(ticks "$pid")
    lines0[$pid]=$(lines "$pid")
    status0[$pid]=$(statusLines "$i")
done
started=$(date +%s.%N)
load0=$(cut -d' ' -f1-3 /proc/loadavg)
sleep "$seconds"
elapsed=$(echo "$(date +%s.%N) - $started" | bc -l)
hz=$(getconf CLK_TCK)

echo "daemon idle${hung:+ with NetworkManager hung} for ${elapsed%.*} s after ${warmup} s of start-up, side by side; load average $load0 at the start, $(cut -d' ' -f1-3 /proc/loadavg) at the end on $(nproc) cores"
for i in "${!binaries[@]}"; do
    pid=${daemons[i]}
    dticks=$(($(ticks "$pid") - ticks0[$pid]))
    dlines=$(($(lines "$pid") - lines0[$pid]))
    printf '%s\n  CPU: %.3f %% of one core (%d ticks of 1/%d s)\n  system log: %.1f lines per minute (%d lines)\n' \
        "${binaries[i]}" "$(echo "100 * $dticks / $hz / $elapsed" | bc -l)" "$dticks" "$hz" \
        "$(echo "60 * $dlines / $elapsed" | bc -l)" "$dlines"
    if [ -n "$hung" ]; then
        dstatus=$(($(statusLines "$i") - status0[$pid]))
        printf '  listening line on stderr: %.1f per minute (%d lines; 60 is one a second)\n' \
            "$(echo "60 * $dstatus / $elapsed" | bc -l)" "$dstatus"
    fi
done
[ -z "$hung" ] || kill -CONT "$network_manager"
