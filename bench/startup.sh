#!/usr/bin/env bash
# Start-up of the tray application: milliseconds from the start of the process to its first visible
# window and to its tray item's registration with the panel, for a new user (scratch configuration)
# and a returning one (first-run flow done, so the settings window opens). Under a virtual X server on
# a private D-Bus session with a mocked StatusNotifierWatcher (tests/support/dbusmock), no keyring;
# nothing leaves 127.0.0.1. Given a second build folder (an older build), both run alternately in
# every round; medians of RUNS runs each.
#   cmake --preset bench && cmake --build --preset bench --target netlatch && bench/startup.sh [build] [other build]
set -euo pipefail
cd "$(dirname "$0")/.."
if [ -z "${NETLATCH_BENCH_INNER:-}" ]; then
  # Whatever the session bus starts (a keyring daemon) lives in the scratch home too.
  scratch=$(mktemp -d "${TMPDIR:-/tmp}/netlatch-start.XXXXXX")
  trap 'rm -rf "$scratch"' EXIT
  mkdir -p "$scratch/run" && chmod 700 "$scratch/run"
  export HOME="$scratch" XDG_CONFIG_HOME="$scratch/config" XDG_DATA_HOME="$scratch/data" XDG_RUNTIME_DIR="$scratch/run"
  export NETLATCH_BENCH_INNER=1 DBUS_SYSTEM_BUS_ADDRESS="unix:path=$scratch/no-system-bus"
  status=0
  dbus-run-session --config-file="$PWD/tools/private-bus.conf" -- xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$@" || status=$?
  exit "$status"
fi
builds=("$(realpath "${1:-build/bench}")")
[ -n "${2:-}" ] && builds+=("$(realpath "$2")")
/usr/bin/python3 -m dbusmock --session --template tests/support/dbusmock/statusnotifierwatcher.py >/dev/null 2>&1 &
watcher=$!
/usr/bin/python3 -m dbusmock --session --template notification_daemon >/dev/null 2>&1 &
notifications=$!
trap 'kill $watcher $notifications 2>/dev/null || true' EXIT
sleep 1
/usr/bin/python3 - "${RUNS:-7}" "${builds[@]}" <<'PY'
import dbus, os, statistics, subprocess, sys, tempfile, time
runs, builds = int(sys.argv[1]), sys.argv[2:]
bus = dbus.SessionBus()
watcher = bus.get_object('org.kde.StatusNotifierWatcher', '/StatusNotifierWatcher')
def items():
    return len(watcher.Get('org.kde.StatusNotifierWatcher', 'RegisteredStatusNotifierItems',
                           dbus_interface='org.freedesktop.DBus.Properties'))
def visible(pid):
    return subprocess.run(['xdotool', 'search', '--onlyvisible', '--pid', str(pid)],
                          stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode == 0
def start(build, returning):
    home = tempfile.mkdtemp(prefix='user.', dir=os.environ['HOME'])
    env = dict(os.environ, XDG_CONFIG_HOME=home + '/config', XDG_DATA_HOME=home + '/data',
               XDG_CACHE_HOME=home + '/cache')
    if returning:
        os.makedirs(home + '/config/Netlatch')
        with open(home + '/config/Netlatch/netlatch.conf', 'w') as f:
            f.write('[General]\nhasShownWelcome=true\nhasSetupCredentials=true\nlastShownVersion=99.0\n')
    before = items()
    began = time.monotonic()
    app = subprocess.Popen([build + '/src/app/netlatch'], env=env, stderr=subprocess.DEVNULL)
    window = tray = None
    while (window is None or tray is None) and time.monotonic() - began < 20:
        now = (time.monotonic() - began) * 1000
        if tray is None and items() > before:
            tray = now
        if window is None and visible(app.pid):
            window = now
        time.sleep(0.003)
    app.kill()
    app.wait()
    subprocess.run(['rm', '-rf', home])
    return window, tray
results = {}
for _ in range(runs):
    for user in ('new', 'returning'):
        for b, build in enumerate(builds):
            window, tray = start(build, user == 'returning')
            results.setdefault((b, user), []).append((window, tray))
print('median ms from start (runs: %d)      window   tray item' % runs)
for (b, user), samples in sorted(results.items()):
    med = lambda i: statistics.median(s[i] for s in samples if s[i] is not None)
    print(f"{'this build' if b == 0 else 'other build':<12} {user + ' user':<22} {med(0):8.0f}   {med(1):8.0f}")
PY
