#!/usr/bin/env bash
# Peak resident memory of `netlatchctl login` while the portal simulator streams a 300 MiB answer to
# the sign-in form, next to an ordinary sign-in for comparison. Uses the bench preset's binaries:
#   cmake --preset bench && cmake --build --preset bench && bench/login_memory.sh
# Needs 127.0.0.1:18080 free (the portal address of every loopback build).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/bench}
ctl="$build/src/cli/netlatchctl"
simulator="$build/tools/portal-simulator/netlatch-portal-simulator"

if (exec 3<>/dev/tcp/127.0.0.1/18080) 2>/dev/null; then
  echo "127.0.0.1:18080 is in use; stop whatever listens there first" >&2
  exit 1
fi

peak_kib() { # behaviour -> prints the peak RSS of one sign-in in KiB
  "$simulator" --behaviour "$1" --huge-mib 300 2>/dev/null &
  local sim=$!
  for _ in $(seq 50); do (exec 3<>/dev/tcp/127.0.0.1/18080) 2>/dev/null && break; sleep 0.1; done
  local log
  log=$(mktemp)
  printf 'demo-password\n' | /usr/bin/time -v "$ctl" login --username demo --password-stdin >/dev/null 2>"$log" || true
  kill "$sim"
  wait "$sim" 2>/dev/null || true
  awk -F': ' '/Maximum resident set size/ {print $2}' "$log"
  rm -f "$log"
}

normal=$(peak_kib normal)
huge=$(peak_kib huge)
echo "peak RSS, ordinary sign-in:        $((normal / 1024)) MiB ($normal KiB)"
echo "peak RSS, 300 MiB streamed answer: $((huge / 1024)) MiB ($huge KiB)"
[ "$huge" -lt $((60 * 1024)) ] && echo "within the 60 MB budget" || { echo "OVER the 60 MB budget"; exit 1; }
