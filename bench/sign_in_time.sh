#!/usr/bin/env bash
# Whole-process time of `netlatchctl login` beside a two-curl script doing the same exchange (page
# fetch with its cookies, form post), and of `netlatchctl stats`, with 0, 3,650 and 36,500 stored
# sign-ins (seeded where the first versions kept them and moved in by an untimed first sign-in). The portal simulator answers on the portal port of loopback; nothing listens on the statistics
# port, so the upload fails at once. Rounds alternate the commands so that load from other work on
# the machine falls on all of them alike; compare within a round.
#   cmake --preset bench && cmake --build --preset bench && bench/sign_in_time.sh [build] [other netlatchctl]
# With a second netlatchctl (an older build), both run side by side in every round. PORTAL_PORT
# (default 18080) must be the port of the builds' portal address.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/bench}
other=${2:-}
rounds=${ROUNDS:-3}
runs=${RUNS:-20}
port=${PORTAL_PORT:-18080}
simulator="$build/tools/portal-simulator/netlatch-portal-simulator"
seed="$build/bench/bench_seed_history"
work=$(mktemp -d)
sim=
trap '[ -n "$sim" ] && kill $sim 2>/dev/null; rm -rf "$work"' EXIT

if (exec 3<>/dev/tcp/127.0.0.1/$port) 2>/dev/null; then
  echo "127.0.0.1:$port is in use; stop whatever listens there first" >&2
  exit 1
fi
"$simulator" --port "$port" 2>/dev/null &
sim=$!
for _ in $(seq 50); do (exec 3<>/dev/tcp/127.0.0.1/$port) 2>/dev/null && break; sleep 0.1; done

cat >"$work/two-curl.sh" <<CURL
jar=\$(mktemp)
curl -s -c "\$jar" 'http://127.0.0.1:$port/ac_portal/default/pc.html?tabs=pwd' >/dev/null
curl -s -b "\$jar" --data 'opr=pwdLogin&userName=demo&pwd=demo-password&rememberPwd=0' \\
  http://127.0.0.1:$port/ac_portal/login.php >/dev/null
rm -f "\$jar"
CURL

binaries=("$build/src/cli/netlatchctl")
[ -n "$other" ] && binaries+=("$other")
commands=(-n two-curl "sh $work/two-curl.sh")
for b in "${!binaries[@]}"; do
  ctl=$(realpath "${binaries[$b]}")
  tag=$([ "$b" = 0 ] && echo new || echo old)
  for count in 0 3650 36500; do
    home="$work/$tag-$count"
    mkdir -p "$home/config/Netlatch" "$home/data"
    "$seed" "$count" "$home/config/Netlatch/netlatch.conf"
    env="env HOME=$home XDG_CONFIG_HOME=$home/config XDG_DATA_HOME=$home/data"
    # One sign-in first, untimed: a build that moves the history out of the settings does it here.
    printf 'demo-password\n' | $env "$ctl" login --username demo --password-stdin >/dev/null
    cp -a "$home" "$home.snapshot"
    commands+=(-n "login $tag $count" "printf 'demo-password\n' | $env $ctl login --username demo --password-stdin >/dev/null")
    [ "$count" != 0 ] && commands+=(-n "stats $tag $count" "$env $ctl stats >/dev/null")
  done
done
restore="for s in $work/*.snapshot; do rm -rf \"\${s%.snapshot}\"; cp -a \"\$s\" \"\${s%.snapshot}\"; done"

for round in $(seq "$rounds"); do
  hyperfine --style none --warmup 3 --runs "$runs" --prepare "$restore" --export-json "$work/round-$round.json" \
    "${commands[@]}" >/dev/null 2>&1
done

python3 - "$work" "$rounds" <<'PY'
import json, sys, statistics
work, rounds = sys.argv[1], int(sys.argv[2])
table = {}
for r in range(1, rounds + 1):
    for result in json.load(open(f"{work}/round-{r}.json"))["results"]:
        table.setdefault(result["command"], []).append(statistics.median(result["times"]) * 1000)
curl = table["two-curl"]
print("median ms per round" + " " * 14 + "  ".join(f"round {r:<3}" for r in range(1, rounds + 1)) + "   × two-curl (per round)")
for name, times in table.items():
    ratio = "  ".join(f"{t / c:5.2f}" for t, c in zip(times, curl))
    print(f"{name:<33}" + "  ".join(f"{t:9.1f}" for t in times) + "   " + ratio)
for tag in ("new", "old"):
    if f"login {tag} 0" in table:
        ratios = [a / b for a, b in zip(table[f"login {tag} 36500"], table[f"login {tag} 0"])]
        print(f"login {tag}: 36,500 records / none, per round: " + "  ".join(f"{r:5.2f}" for r in ratios))
PY
