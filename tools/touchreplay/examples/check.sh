#!/bin/bash
# Runs touchreplay on an example and compares its output with the expected lines.
#   check.sh EXPECTED COMMAND...
set -uo pipefail
expected=$1
shift
actual=$(mktemp)
trap 'rm -f "$actual"' EXIT
"$@" >"$actual" || { echo "check.sh: touchreplay failed with $?" >&2; exit 1; }
diff -u "$expected" "$actual"
