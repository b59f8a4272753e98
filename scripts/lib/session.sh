# Shell helpers for a private X session, shared by the demonstration in scripts/run.sh and
# the package checks under tests/packaging: waiting on a condition with a deadline, ending
# a process, a private home and a private Xvfb. Sourced, never run.

# Runs a command every 0.1 s until it succeeds or SECONDS have passed; 1 on time-out.
wait_until() {
    local seconds=$1 deadline
    shift
    deadline=$(( $(date +%s%N) + seconds * 1000000000 ))
    until "$@" >/dev/null 2>&1; do
        [ "$(date +%s%N)" -lt "$deadline" ] || return 1
        sleep 0.1
    done
}

# Ends a process: TERM, up to five seconds to go, then KILL.
stop_process() {
    local pid=$1
    [ -n "$pid" ] || return 0
    kill "$pid" 2>/dev/null || return 0
    wait_until 5 bash -c "! kill -0 $pid" || kill -9 "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
}

# A private HOME with a Pictures folder and private XDG folders under $1, so nothing
# reads or writes the real user's settings or pictures.
private_home() {
    local base=$1
    mkdir -p "$base/home/Pictures" "$base/config" "$base/data" "$base/cache" "$base/runtime"
    chmod 700 "$base/runtime"
    export HOME=$base/home XDG_CONFIG_HOME=$base/config XDG_DATA_HOME=$base/data \
           XDG_CACHE_HOME=$base/cache XDG_RUNTIME_DIR=$base/runtime QT_QPA_PLATFORM=xcb
    unset WAYLAND_DISPLAY XDG_CURRENT_DESKTOP DESKTOP_SESSION
}

# Starts a private 1024x768 Xvfb on a free display number, its output in the file $1; sets
# DISPLAY and XVFB_PID. 1 when it does not report its display within 20 s.
start_xvfb() {
    local log=$1 fd number
    exec {fd}<> <(:)
    Xvfb -displayfd "$fd" -screen 0 1024x768x24 -nolisten tcp -noreset >"$log" 2>&1 &
    XVFB_PID=$!
    if ! read -r -t 20 -u "$fd" number; then
        exec {fd}<&-
        return 1
    fi
    exec {fd}<&-
    export DISPLAY=":$number"
}
