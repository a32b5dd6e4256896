# Sourced by the shell checks: the project's root, a scratch directory $s
# removed at exit, `fail` to count a failure and `finish` to report them.
set -uo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
s=$(mktemp -d)
trap 'rm -rf "$s"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
# finish NAME: the verdict, and the exit status with it.
finish() {
  [ "$failures" -eq 0 ] || { echo "$1: $failures failure(s)" >&2; exit 1; }
  echo "$1: all checks passed"
}
