#!/usr/bin/env bash
# Lintian finds no error in the .deb. Warnings and notes are printed for the reader but
# do not fail the check.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/common.sh"
deb=$(find_deb "$1")
report=$(mktemp)
trap 'rm -f "$report"' EXIT

echo "lintian $(basename "$deb")"
status=0
lintian --fail-on error --tag-display-limit 0 --display-info "$deb" >"$report" 2>&1 || status=$?
grep -v '^running with root privileges' "$report" || true
[ "$status" -eq 0 ] || fail "lintian reports errors (exit $status)"
echo "ok: no lintian errors ($(grep -c '^W: ' "$report" || true) warnings)"
