#!/usr/bin/env bash
# Runs a gtest program under Wine in a virtual desktop of the given size, where
# ChangeDisplaySettings switches among the modes up to that size (the plain desktop on Xvfb
# offers one). Wine's explorer, which makes the desktop and starts the program in it, keeps
# the program's exit status to itself, and from Wine 10 on its output too; so the result is
# read from gtest's XML report, which is printed, and becomes this script's status.
#   run-in-virtual-desktop.sh WIDTHxHEIGHT WINE-RUN PREFIX PROGRAM.exe [ARGUMENTS...]
set -euo pipefail
size=$1 wine_run=$2 prefix=$3 program=$4
shift 4
report=$(mktemp --suffix=.xml)
trap 'rm -f "$report"' EXIT
status=0
"$wine_run" "$prefix" explorer "/desktop=kestrel-modes,$size" "$program" "$@" \
    "--gtest_output=xml:Z:${report//\//\\}" || status=$?
cat "$report"
[ "$status" -eq 0 ] || exit "$status"
# Passed only when tests ran and all passed: a filter that matched nothing reports none, a
# program that never started leaves the report empty.
grep -Eq '<testsuites tests="[1-9][0-9]*" failures="0" disabled="0" errors="0"' "$report"
