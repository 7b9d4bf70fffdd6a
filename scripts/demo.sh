#!/usr/bin/env bash
# Builds Netlatch's command line against the local portal simulator and signs in once, with every
# diagnostic line shown. Everything stays on 127.0.0.1. Run on Debian 12 as root (or with sudo).
# Usage: scripts/demo.sh [behaviour]
#   behaviour: normal (default), vpn-page, redirect-loop, foreign-redirect, too-many-redirects, huge,
#              slow, html-answer, plain-text
# Exits with the sign-in's status: 0 signed in, 1 failed.
#
# Usage: scripts/demo.sh desktop
#   Run from a desktop session: starts the tray application against the simulator with a scratch
#   configuration (first start: its window shows; the tray's "一键联网" signs in and posts banners).
#   It uses the session's keyring: when no Netlatch account is stored there, it stores the demo
#   account (demo / demo-password) and says how to remove it. Ends when netlatch quits.
set -euo pipefail
cd "$(dirname "$0")/.."
behaviour=${1:-normal}
port=18080 # the portal address of the demo build: 127.0.0.1:18080

bash scripts/install-deps.sh
cmake --preset demo
cmake --build --preset demo --target netlatchctl netlatch-portal-simulator
if [ "$behaviour" = desktop ]; then
  cmake --build --preset demo --target netlatch
  if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] || [ -z "${DBUS_SESSION_BUS_ADDRESS:-}" ]; then
    echo "demo: 'desktop' needs a desktop session (DISPLAY and a session D-Bus)" >&2
    exit 1
  fi
fi

listening() { (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; }
if listening; then
  echo "demo: 127.0.0.1:$port is already in use; stop whatever listens there first" >&2
  exit 1
fi

# The demo's preferences and sign-in history go to a scratch folder, not into the user's own.
scratch=$(mktemp -d)
export XDG_CONFIG_HOME="$scratch/config" XDG_DATA_HOME="$scratch/data"

build/demo/tools/portal-simulator/netlatch-portal-simulator --behaviour "${behaviour/desktop/normal}" &
simulator=$!
trap 'kill "$simulator" 2>/dev/null; wait "$simulator" 2>/dev/null || true; rm -rf "$scratch"' EXIT
for _ in $(seq 100); do listening && break; sleep 0.1; done

if [ "$behaviour" = desktop ]; then
  ctl=build/demo/src/cli/netlatchctl
  if "$ctl" account show | grep -q '^Account name: (none)'; then
    printf 'demo-password\n' | "$ctl" account set --username demo --password-stdin
    echo "demo: stored the demo account demo / demo-password in your keyring ('$ctl account clear' removes it)"
  else
    echo "demo: using the Netlatch account already in your keyring; the simulator accepts demo / demo-password"
  fi
  echo "demo: starting netlatch (portal simulator on 127.0.0.1:$port); quit it from its tray menu (退出程序)"
  status=0
  build/demo/src/app/netlatch --verbose || status=$?
  exit "$status"
fi

echo "demo: signing in as 'demo' at http://127.0.0.1:$port (portal behaviour: $behaviour)"
status=0
printf 'demo-password\n' | build/demo/src/cli/netlatchctl login --username demo --password-stdin --verbose || status=$?
echo "demo: netlatchctl login exited with $status"
echo "demo: (no statistics server listens on 127.0.0.1:18081 in the demo, so the upload fails and says so)"
echo "demo: netlatchctl stats now shows:"
build/demo/src/cli/netlatchctl stats
exit "$status"
