#!/usr/bin/env bash
# A Kestrel without a screen backend for its session (built without X11, say) still starts:
# it says on standard error that no screen backend is available, and keeps running.
#   bash no-screen-backend.sh KESTREL_BINARY
set -uo pipefail
kestrel=$1
root=$(mktemp -d)
trap 'kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null; rm -rf "$root"' EXIT
mkdir -p "$root/home/Pictures" "$root/config" "$root/runtime"
chmod 700 "$root/runtime"
env -i PATH="$PATH" HOME="$root/home" XDG_CONFIG_HOME="$root/config" \
    XDG_RUNTIME_DIR="$root/runtime" QT_QPA_PLATFORM=offscreen \
    "$kestrel" 2>"$root/stderr" &
pid=$!

wanted="Cannot capture the screen: no screen backend is available for this session"
deadline=$((SECONDS + 30))
until grep -qF "$wanted" "$root/stderr"; do
    if ! kill -0 "$pid" 2>/dev/null || [ "$SECONDS" -ge "$deadline" ]; then
        echo "no-screen-backend: kestrel did not say it has no screen backend; it wrote:" >&2
        cat "$root/stderr" >&2
        exit 1
    fi
    sleep 0.1
done
if ! kill -0 "$pid" 2>/dev/null; then
    echo "no-screen-backend: kestrel ended after saying so" >&2
    exit 1
fi
grep -F "$wanted" "$root/stderr"
