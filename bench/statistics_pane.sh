#!/usr/bin/env bash
# The statistics pane's reload (bench_statistics_pane) of this build and, given a second build folder
# (an older build's), of that one too, alternating in every round so that load from other work on the
# machine falls on both alike.
#   cmake --preset bench && cmake --build --preset bench && bench/statistics_pane.sh [build] [other build]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/bench}
other=${2:-}
for round in $(seq "${ROUNDS:-3}"); do
  for b in "$build" $other; do
    echo "== round $round: $b"
    QT_QPA_PLATFORM=offscreen "$b/bench/bench_statistics_pane"
  done
done
