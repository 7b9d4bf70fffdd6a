#!/usr/bin/env bash
# Peak resident memory and idle CPU of the running tray application, with automatic sign-in on.
# netlatch runs with a scratch configuration on a private D-Bus session (a StatusNotifierWatcher and
# a notification server from python3-dbusmock, so the tray item is exported as on a desktop) and a
# virtual X server; nothing leaves 127.0.0.1. After a settling period it samples the process for the
# given time: peak RSS (VmHWM), the CPU time it used as a share of one core, and the resident memory
# every 30 s, so that a ten-minute run (600) shows whether it grows.
#   cmake --preset bench && cmake --build --preset bench --target netlatch netlatchctl
#   bench/tray_idle.sh [seconds=300] [build-dir=build/bench]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-300}
build=$(realpath "${2:-build/bench}")
source_dir=$PWD
settle=5

if [ -z "${NETLATCH_BENCH_INNER:-}" ]; then
  scratch=$(mktemp -d "${TMPDIR:-/tmp}/netlatch-bench.XXXXXX")
  trap 'rm -rf "$scratch"' EXIT
  mkdir -p "$scratch/home" "$scratch/config" "$scratch/run"
  chmod 700 "$scratch/run"
  export HOME="$scratch/home" XDG_CONFIG_HOME="$scratch/config" XDG_DATA_HOME="$scratch/data" XDG_RUNTIME_DIR="$scratch/run"
  export NETLATCH_BENCH_INNER=1 DBUS_SYSTEM_BUS_ADDRESS="unix:path=$scratch/no-system-bus"
  status=0
  dbus-run-session --config-file="$source_dir/tools/private-bus.conf" -- xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$seconds" "$build" || status=$?
  exit "$status"
fi

python=/usr/bin/python3
"$python" -m dbusmock --session --template notification_daemon >/dev/null 2>&1 &
mocks=($!)
"$python" -m dbusmock --session --template "$source_dir/tests/support/dbusmock/statusnotifierwatcher.py" >/dev/null 2>&1 &
mocks+=($!)
"$build/src/cli/netlatchctl" autologin on >/dev/null

"$build/src/app/netlatch" 2>/dev/null &
app=$!
trap 'kill "$app" "${mocks[@]}" 2>/dev/null || true' EXIT
sleep "$settle"

ticks() { awk '{print $14 + $15}' "/proc/$app/stat"; }
hz=$(getconf CLK_TCK)
rss() { awk '/VmRSS/ {print $2}' "/proc/$app/status"; }
start=$(ticks)
samples=("$(rss)")
for ((waited = 0; waited < seconds; waited += 30)); do
  sleep $((seconds - waited < 30 ? seconds - waited : 30))
  samples+=("$(rss)")
done
end=$(ticks)
peak_kib=$(awk '/VmHWM/ {print $2}' "/proc/$app/status")
rss_kib=$(awk '/VmRSS/ {print $2}' "/proc/$app/status")

cpu=$(awk -v t=$((end - start)) -v hz="$hz" -v s="$seconds" 'BEGIN {printf "%.3f", 100 * t / hz / s}')
echo "netlatch, automatic sign-in on, ${seconds} s after ${settle} s of start-up:"
"$build/src/cli/netlatchctl" autologin status | sed 's/^/  /'
echo "  peak RSS:    $((peak_kib / 1024)) MiB ($peak_kib KiB); resident now $((rss_kib / 1024)) MiB"
echo "  CPU:         $((end - start)) ticks of 1/$hz s = ${cpu} % of one core"
echo "  resident every 30 s (KiB): ${samples[*]}"
echo "  growth from the first sample to the last: $((samples[-1] - samples[0])) KiB"
awk -v p="$peak_kib" -v c="$cpu" 'BEGIN {
  ok = (p <= 60 * 1024 && c <= 0.5)
  print ok ? "  within the goals (<= 60 MB, <= 0.5 % of a core)" : "  OVER a goal (<= 60 MB, <= 0.5 % of a core)"
  exit !ok }'
