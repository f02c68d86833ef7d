#!/usr/bin/env bash
# Runs one Windows test program under Wine for ctest. ctest shows only what a failed program
# printed, and a program that Wine could not start (a missing DLL, a prefix it cannot use) or that
# ended before writing out its output prints nothing; so here Wine's own error reports stay on
# and a failure also names the program's exit status.
export WINEDEBUG=${WINEDEBUG:--all},err+all
wine "$@"
status=$?
if [ "$status" -ne 0 ]; then
    echo "wine-test: $(basename "$1") ended with status $status" >&2
fi
exit "$status"
