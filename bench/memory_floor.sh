#!/usr/bin/env bash
# Resident memory of netlatch (a returning user: the settings window open, automatic sign-in on)
# beside its floor, bench_bare_qt (a tray icon and a 700 × 500 window of Chinese text and emoji in the
# same fonts), both in one virtual X server on one private D-Bus session with a mocked
# StatusNotifierWatcher, after SECONDS of idling (default 60). Also lists where netlatch's resident
# memory lies (the largest mappings by file) to show what the rest is made of.
#   cmake --preset bench && cmake --build --preset bench --target netlatch netlatchctl bench_bare_qt
#   bench/memory_floor.sh [seconds] [build]   (FLOOR=path/to/bench_bare_qt to take it from another build)
set -euo pipefail
cd "$(dirname "$0")/.."
if [ -z "${NETLATCH_BENCH_INNER:-}" ]; then
  scratch=$(mktemp -d "${TMPDIR:-/tmp}/netlatch-memory.XXXXXX")
  trap 'rm -rf "$scratch"' EXIT
  mkdir -p "$scratch/config/Netlatch" "$scratch/run" && chmod 700 "$scratch/run"
  printf '[General]\nhasShownWelcome=true\nhasSetupCredentials=true\nlastShownVersion=99.0\n' \
    >"$scratch/config/Netlatch/netlatch.conf"
  export HOME="$scratch" XDG_CONFIG_HOME="$scratch/config" XDG_DATA_HOME="$scratch/data" XDG_RUNTIME_DIR="$scratch/run"
  export NETLATCH_BENCH_INNER=1 DBUS_SYSTEM_BUS_ADDRESS="unix:path=$scratch/no-system-bus"
  exec dbus-run-session --config-file="$PWD/tools/private-bus.conf" -- xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$@"
fi
seconds=${1:-60}
build=$(realpath "${2:-build/bench}")
/usr/bin/python3 -m dbusmock --session --template tests/support/dbusmock/statusnotifierwatcher.py >/dev/null 2>&1 &
pids=($!)
/usr/bin/python3 -m dbusmock --session --template notification_daemon >/dev/null 2>&1 &
pids+=($!)
trap 'kill "${pids[@]}" 2>/dev/null || true' EXIT
sleep 1
"$build/src/cli/netlatchctl" autologin on >/dev/null
"$build/src/app/netlatch" 2>/dev/null &
app=$!
"${FLOOR:-$build/bench/bench_bare_qt}" 2>/dev/null &
floor=$!
pids+=("$app" "$floor")
sleep "$seconds"
rss() { awk '/^Rss:/ {s += $2} END {print s}' "/proc/$1/smaps"; }
a=$(rss "$app")
f=$(rss "$floor")
echo "after $seconds s idle: netlatch $((a / 1024)) MiB, bare Qt floor $((f / 1024)) MiB, ratio $(awk -v a="$a" -v f="$f" 'BEGIN {printf "%.2f", a / f}') (goal <= 1.3)"
echo "where netlatch's resident memory lies, beside the floor's (KiB):"
python3 - "$app" "$floor" <<'PY'
import collections, sys
def rss_by_mapping(pid):
    total, name = collections.Counter(), None
    for line in open(f"/proc/{pid}/smaps"):
        fields = line.split()
        if len(fields) > 1 and '-' in fields[0] and ':' not in fields[0]:
            name = fields[5] if len(fields) > 5 else '[anonymous]'
            name = name.rsplit('/', 1)[-1]
        elif fields[0] == 'Rss:':
            total[name] += int(fields[1])
    return total
app, floor = rss_by_mapping(sys.argv[1]), rss_by_mapping(sys.argv[2])
for name, kib in sorted(app.items(), key=lambda x: -x[1])[:15]:
    print(f"  {name:<40} {kib:8d}   {floor.get(name, 0):8d}")
PY
