# Sourced: start_virtual_session WORK starts a virtual X display, a D-Bus session and the
# accessibility bus, exports DISPLAY and DBUS_SESSION_BUS_ADDRESS, and appends what it started to
# the caller's array `pids` (to be ended by the caller).
start_virtual_session() {
    local work="$1"
    Xvfb -displayfd 3 -noreset -screen 0 1280x800x24 3>"$work/display" 2>/dev/null &
    pids+=($!)
    for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
    export DISPLAY=":$(cat "$work/display")"
    export DBUS_SESSION_BUS_ADDRESS
    DBUS_SESSION_BUS_ADDRESS="$(dbus-daemon --session --fork --print-address=1 --print-pid=3 3>"$work/dbus.pid")"
    pids+=("$(cat "$work/dbus.pid")")
    /usr/libexec/at-spi-bus-launcher &
    pids+=($!)
}
