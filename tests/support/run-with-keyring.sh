#!/bin/sh
# Runs a command inside a D-Bus session of its own with a new, unlocked GNOME Keyring serving the
# Secret Service. HOME and the XDG folders point into a scratch folder, so the developer's own
# keyring is never read or written. The keyring ends with the session.
# Usage: run-with-keyring.sh COMMAND [ARGUMENT...]
set -eu

scratch=$(mktemp -d "${TMPDIR:-/tmp}/netlatch-keyring.XXXXXX")
mkdir -p "$scratch/home" "$scratch/config" "$scratch/data" "$scratch/cache" "$scratch/run"
chmod 700 "$scratch/run"
export HOME="$scratch/home" XDG_CONFIG_HOME="$scratch/config" XDG_DATA_HOME="$scratch/data" \
    XDG_CACHE_HOME="$scratch/cache" XDG_RUNTIME_DIR="$scratch/run"
unset GNOME_KEYRING_CONTROL DBUS_SESSION_BUS_ADDRESS

# The bus (tools/private-bus.conf) gets no display, so an unlock prompt fails at once instead of
# waiting for a person; the command gets the display back and may hand it to the prompter.
export NETLATCH_TEST_DISPLAY="${DISPLAY-}"
status=0
conf="$(cd "$(dirname "$0")/../../tools" && pwd)/private-bus.conf"
env -u DISPLAY -u WAYLAND_DISPLAY dbus-run-session --config-file="$conf" -- sh -c '
    # With an empty password no login keyring would be created, and storing would need a prompt.
    printf "netlatch-test" | gnome-keyring-daemon --unlock --components=secrets >/dev/null
    # Makes the unlocked daemon take its place on the bus before the command runs.
    gnome-keyring-daemon --start --components=secrets >/dev/null 2>&1
    [ -z "$NETLATCH_TEST_DISPLAY" ] || export DISPLAY="$NETLATCH_TEST_DISPLAY"
    unset NETLATCH_TEST_DISPLAY
    exec "$@"
' run-with-keyring "$@" || status=$?

rm -rf "$scratch" 2>/dev/null || true
exit "$status"
