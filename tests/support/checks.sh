# shellcheck shell=bash
# Counted checks for the small test scripts: `check NAME EXPECTED ACTUAL` prints
# a failure and carries on; `finish_checks` prints the tally and returns 1 when
# any check failed.
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
