# Sourced by the demo and benchmark scripts: private D-Bus buses and python3-dbusmock services.
# The caller sets $scratch (a folder of its own), $python (the system python3, which has dbusmock),
# the array pids (every process started here is added to it) and $tag (the prefix of its messages).

start_bus() { # name; the bus answers at unix:path=$scratch/<name>_bus
    dbus-daemon --config-file="$(dirname "${BASH_SOURCE[0]}")/private-bus.conf" --nofork --address="unix:path=$scratch/$1_bus" --print-address=3 \
        3>"$scratch/$1_address" 2>>"$scratch/dbus.log" &
    pids+=($!)
    for _ in $(seq 100); do [ -s "$scratch/$1_address" ] && return 0; sleep 0.1; done
    echo "$tag: the $1 bus did not start" >&2
    exit 1
}

wait_for_name() { # bus-switch name
    for _ in $(seq 100); do
        gdbus call "$1" --dest org.freedesktop.DBus --object-path /org/freedesktop/DBus \
            --method org.freedesktop.DBus.NameHasOwner "$2" 2>/dev/null | grep -q true && return 0
        sleep 0.1
    done
    echo "$tag: $2 did not come up" >&2
    exit 1
}

start_mock() { # bus-switch service template [log]
    "$python" -m dbusmock "$1" --template "$3" ${4:+-l "$4"} >/dev/null 2>&1 &
    pids+=($!)
    wait_for_name "$1" "$2"
}
