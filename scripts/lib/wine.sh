# shellcheck shell=bash
# Shell helpers for running Windows test programs under Wine, shared by
# scripts/test-windows.sh and cmake/wine-run.sh (the build's test emulator). Sourced, never
# run. Wine sees no display unless WINE_TEST_DISPLAY names one (test-windows.sh starts a
# private Xvfb for the tests that draw, read the screen or move the pointer); the user's
# own display is never used.
#
# The trap they avoid: the first Wine program of a session starts Wine's server and its
# helper processes (services, device drivers), which inherit that program's standard
# output. When that is CTest's pipe, CTest waits for helpers that live on, and the run
# hangs. So the server and its helpers are started first, detached, with their output in
# a log, and test programs only ever join them.

# Seconds the Wine server stays up after its last program ends, when nobody stops it.
WINE_IDLE_SECONDS=${WINE_IDLE_SECONDS:-60}
# Bound on creating the prefix and on starting the server and its helpers.
WINE_START_SECONDS=${WINE_START_SECONDS:-180}

# Sets the environment for the Wine prefix $1 (created on first use): 64-bit, quiet, no
# offer to install Mono or Gecko, no menu entries or file associations written for the
# user, and a private home beside the prefix, so nothing outside it is touched.
wine_environment() {
    local prefix=$1
    WINE=/usr/lib/wine/wine64
    [ -x "$WINE" ] || WINE=$(command -v wine64 || command -v wine || echo wine)
    WINESERVER=/usr/lib/wine/wineserver64
    [ -x "$WINESERVER" ] || WINESERVER=$(command -v wineserver || echo wineserver)
    export WINE WINESERVER
    export WINEPREFIX=$prefix WINEARCH=win64 WINEDEBUG=-all
    export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
    export HOME=$prefix-home XDG_CONFIG_HOME=$prefix-home/config
    export XDG_DATA_HOME=$prefix-home/data XDG_CACHE_HOME=$prefix-home/cache
    unset DISPLAY WAYLAND_DISPLAY
    if [ -n "${WINE_TEST_DISPLAY:-}" ]; then
        export DISPLAY=$WINE_TEST_DISPLAY
    fi
    WINE_LOG=$prefix.log
    mkdir -p "$HOME"
}

# Creates the prefix if needed, then starts the server and the helper processes, all
# detached from the caller's output and bounded in time. Several callers at once (CTest
# runs tests in parallel) take turns; the first does the work. 1 on failure or time-out,
# with the log's end on standard error.
wine_start() {
    mkdir -p "$WINEPREFIX"
    (
        flock -w "$WINE_START_SECONDS" 9 || {
            echo "wine: another start of $WINEPREFIX did not finish" >&2
            exit 1
        }
        # The lock's descriptor is closed for everything started here: the server and its
        # helpers outlive this start and would hold the lock for as long as they run.
        # Asking for a server exits 2, starting nothing, when one already runs; its
        # helpers were started with it.
        status=0
        "$WINESERVER" "-p$WINE_IDLE_SECONDS" </dev/null >/dev/null 2>&1 9>&- || status=$?
        [ "$status" -eq 2 ] && exit 0
        if [ "$status" -ne 0 ]; then
            echo "wine: $WINESERVER did not start (status $status)" >&2
            exit 1
        fi
        if [ ! -f "$WINEPREFIX/.created" ]; then
            echo "wine: creating the Wine prefix $WINEPREFIX" >&2
            timeout -k 10 "$WINE_START_SECONDS" "$WINE" wineboot --init \
                </dev/null >>"$WINE_LOG" 2>&1 9>&- || wine_failed "creating the prefix"
            # A new prefix's service manager restarts while its configuration is updated;
            # a program started in that moment has been seen to leave two running, after
            # which every program that starts a service (each test's desktop) waits some
            # 20 s for it. So the creation's server ends here with all its processes, and
            # a new server and its helpers start afresh below.
            "$WINESERVER" -k >/dev/null 2>&1 9>&- || true
            timeout -k 10 "$WINE_START_SECONDS" "$WINESERVER" -w >/dev/null 2>&1 9>&- || true
            "$WINESERVER" "-p$WINE_IDLE_SECONDS" </dev/null >/dev/null 2>&1 9>&- ||
                wine_failed "starting the server again after creating the prefix"
            touch "$WINEPREFIX/.created"
        fi
        # One trivial program, so that the helpers start now, writing into the log.
        timeout -k 10 "$WINE_START_SECONDS" "$WINE" cmd /c exit </dev/null >>"$WINE_LOG" 2>&1 9>&- ||
            wine_failed "starting Wine's helper processes"
        managers=$(wine_service_managers)
        if [ "$managers" -gt 1 ]; then
            echo "wine: $managers service managers run for $WINEPREFIX; programs will wait" \
                "for services" >&2
        fi
    ) 9>"$WINEPREFIX.lock"
}

# How many service managers (services.exe) run for this prefix: one in a sound start.
wine_service_managers() {
    local count=0 pid
    for pid in $(pgrep -f 'system32.services\.exe' || true); do
        if tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | grep -qxF "WINEPREFIX=$WINEPREFIX"; then
            count=$((count + 1))
        fi
    done
    echo "$count"
}

# Reports a failed or timed-out step with the end of the log; ends the subshell with 1.
wine_failed() {
    echo "wine: $1 failed or timed out; $WINE_LOG ends:" >&2
    tail -n 20 "$WINE_LOG" >&2
    "$WINESERVER" -k >/dev/null 2>&1 || true
    exit 1
}

# Ends the server and every Wine process of this prefix, waiting at most 20 s.
wine_stop() {
    "$WINESERVER" -k >/dev/null 2>&1 || true
    timeout 20 "$WINESERVER" -w >/dev/null 2>&1 || true
}
