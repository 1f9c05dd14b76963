#!/usr/bin/env bash
# Runs a Windows program under Wine for the tests: the cross build's test runner and the command
# the end-to-end tests start. Now and then Wine's loader fails a check of its own while the process
# ends, after the program has finished ("Inconsistency detected by ld.so", exit status 127), which
# loses the program's result. Such a run is repeated; the output is held back until a run ends
# without it, so that a repeated run's output is not seen twice.
set -u
out="$(mktemp)"
err="$(mktemp)"
trap 'rm -f "$out" "$err"' EXIT
for attempt in 1 2 3 4 5; do
  WINEDEBUG=-all wine "$@" >"$out" 2>"$err"
  status=$?
  if [ "$status" -ne 127 ] || ! grep -q '^Inconsistency detected by ld\.so' "$err"; then
    break
  fi
  echo "wine-run: Wine's loader failed while $1 ended; running it again (run $attempt)" >&2
done
cat "$out"
cat "$err" >&2
exit "$status"
