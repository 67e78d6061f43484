#!/usr/bin/env bash
# Runs one Windows test program under Wine for ctest. A test program prints Google Test's banner
# before its first test, so a run that failed without printing anything never reached the
# program: Wine did not start it. Wine's own messages are off in the tests, so this says so
# itself, and starts the program once more.
out=$(mktemp) || exit 1
trap 'rm -f "$out"' EXIT
status=1
for start in 1 2; do
  wine "$@" >"$out"
  status=$?
  if [[ $status -eq 0 || -s $out ]]; then
    cat "$out"
    exit "$status"
  fi
  echo "wine_test: Wine ended with status $status before the program printed anything (start $start of 2)" >&2
done
exit "$status"
