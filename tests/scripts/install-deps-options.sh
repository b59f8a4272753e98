#!/usr/bin/env bash
# scripts/install-deps.sh takes --bench and --fuzz in any order and refuses anything else
# with its usage line, before it looks at a single package. The package check itself runs
# unprivileged, so this test never installs anything.
#
#   install-deps-options.sh SOURCE_DIR
set -euo pipefail
script=$1/scripts/install-deps.sh
usage='usage: install-deps.sh [--bench] [--fuzz]'
out=$(mktemp)
err=$(mktemp)
trap 'rm -f "$out" "$err"' EXIT

fail() { echo "FAIL: $*" >&2; exit 1; }

# Runs the script with the given arguments; sets $status, fills $out and $err.
run() {
    status=0
    if [ "$(id -u)" -eq 0 ]; then
        setpriv --reuid=65534 --regid=65534 --clear-groups bash "$script" "$@" >"$out" 2>"$err" || status=$?
    else
        bash "$script" "$@" >"$out" 2>"$err" || status=$?
    fi
}

for args in "--nope" "--bench --nope" "--nope --fuzz" "--fuzz --bench extra" "-b" "--bench=1"; do
    # shellcheck disable=SC2086  # the cases are word lists
    run $args
    bad=$(tr ' ' '\n' <<<"$args" | grep -vxE -- '--bench|--fuzz' | head -1)
    [ "$status" -eq 2 ] || fail "'$args': exit $status, not 2"
    [ ! -s "$out" ] || fail "'$args': wrote to standard output: $(cat "$out")"
    grep -qF -- "unknown option '$bad'" "$err" || fail "'$args': does not name $bad: $(cat "$err")"
    grep -qxF -- "$usage" "$err" || fail "'$args': no usage line: $(cat "$err")"
    grep -q 'missing packages' "$err" && fail "'$args': looked at packages before refusing"
done
echo "ok: unknown options refused with the usage line"

run --help
[ "$status" -eq 0 ] && grep -qxF -- "$usage" "$out" || fail "--help: exit $status, $(cat "$out" "$err")"

# Both options in either order, or repeated, ask for the same packages: silent when all are
# there, otherwise one identical list of what is missing.
run --bench --fuzz
first_status=$status
first=$(cat "$out" "$err")
case $first_status in
    0) [ -z "$first" ] || fail "--bench --fuzz: exit 0 but printed: $first" ;;
    1) grep -q 'missing packages' <<<"$first" || fail "--bench --fuzz: exit 1 without a list: $first" ;;
    *) fail "--bench --fuzz: exit $first_status: $first" ;;
esac
for args in "--fuzz --bench" "--bench --fuzz --bench"; do
    # shellcheck disable=SC2086
    run $args
    [ "$status" -eq "$first_status" ] && [ "$(cat "$out" "$err")" = "$first" ] ||
        fail "'$args' differs from '--bench --fuzz': exit $status, $(cat "$out" "$err")"
done
echo "ok: --bench and --fuzz together, in any order (exit $first_status)"
