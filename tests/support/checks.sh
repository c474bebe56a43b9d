# shellcheck shell=bash
# The setup and counted checks of the small test scripts: `expect_arguments`
# and `new_scratch` start a script, `check NAME EXPECTED ACTUAL` prints a
# failure and carries on, and `finish_checks` prints the tally and returns 1
# when any check failed.
set -u
export LC_ALL=C

# expect_arguments COUNT USAGE "$@": the script ends with status 2 and its usage
# unless it was given COUNT arguments.
expect_arguments() {
  local count=$1 usage=$2
  shift 2
  if [[ $# -ne $count ]]; then
    echo "usage: $0 $usage" >&2
    exit 2
  fi
}

# new_scratch NAME: `scratch` becomes a fresh directory, removed when the
# script exits.
new_scratch() {
  scratch=$(mktemp -d "${TMPDIR:-/tmp}/eigpick-$1.XXXXXX")
  trap 'rm -rf -- "$scratch"' EXIT
}
passed=0
failed=0
check() {
  if [[ $2 == "$3" ]]; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    printf 'FAIL %s\n  expected: %s\n  actual:   %s\n' "$1" "$2" "$3"
  fi
}
finish_checks() {
  echo "$passed passed, $failed failed"
  ((failed == 0))
}

# finish_checks_with_logs: finish_checks, after the last lines of every log in
# $scratch when a check failed.
finish_checks_with_logs() {
  local log
  if ((failed > 0)); then
    for log in "$scratch"/*.log; do
      echo "--- $(basename -- "$log")"
      tail -n 20 -- "$log"
    done
  fi
  finish_checks
}
