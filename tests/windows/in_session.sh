#!/usr/bin/env bash
# Runs a Windows program of the tests under Wine, in the session tests/windows/test_session.sh
# keeps. Its output goes through a file: what Wine starts on the way (the desktop process,
# its services) lives on after the program and would hold the test's own output open, so
# that the test would not be seen to end.
#   bash tests/windows/in_session.sh PROGRAM.exe ARGS...
out=$(mktemp)
wine "$@" > "$out" 2>&1
status=$?
cat "$out"
rm -f "$out"
exit $status
