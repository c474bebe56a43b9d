#!/usr/bin/env bash
# cmake/run_example.cmake, which the example workflow ends with, passes only
# when the program succeeds and writes exactly the expected fort.50 in this run.
#
#   tests/build_system/run_example.sh EIGPICK SOURCE_DIR
# shellcheck source-path=SCRIPTDIR source=../support/checks.sh
source "$(dirname -- "${BASH_SOURCE[0]}")/../support/checks.sh"
expect_arguments 2 "EIGPICK SOURCE_DIR" "$@"
eigpick=$(realpath -- "$1")
source_dir=$(realpath -- "$2")
new_scratch run-example

expected=$source_dir/examples/fort.50.expected
# The expected file with one digit changed, and one with a record missing.
sed '5s/0\.00000/0.00001/' "$expected" >"$scratch/one-digit"
sed '$d' "$expected" >"$scratch/short"
# Stand-ins for the program: one that fails with a report, one that writes nothing.
printf '#!/bin/sh\necho "eigpick: hdat.out (unit 4), a report" >&2\nexit 1\n' >"$scratch/failing"
printf '#!/bin/sh\nexit 0\n' >"$scratch/silent"
chmod +x "$scratch/failing" "$scratch/silent"

# run_case NAME PROGRAM EXPECTED STATUS TEXT [OLD_FORT50]: runs the script in a
# fresh job directory (holding OLD_FORT50 as fort.50 when given) and checks
# whether it succeeded (STATUS 0) or failed (STATUS 1) and that its output
# holds TEXT, which must not be empty (an empty text is in every output).
case_number=0
run_case() {
  local name=$1 program=$2 want_file=$3 want_status=$4 text=$5 old=${6:-}
  case_number=$((case_number + 1))
  local job=$scratch/job$case_number output status=0
  if [[ -n $old ]]; then
    mkdir -p "$job" && cp -- "$old" "$job/fort.50"
  fi
  output=$(cmake -DPROGRAM="$program" -DLISTING="$source_dir/examples/hdat.out" \
    -DEXPECTED="$want_file" -DJOB_DIR="$job" -P "$source_dir/cmake/run_example.cmake" 2>&1) ||
    status=1
  check "$name: status" "$want_status" "$status"
  check "$name: output names the outcome" yes "$([[ -n $text && $output == *"$text"* ]] && echo yes)"
}

run_case "the example" "$eigpick" "$expected" 0 "fort.50 matches $expected"
run_case "shows the vector file" "$eigpick" "$expected" 0 "    E (  9 ) =    1.13000  1"
run_case "one digit differs" "$eigpick" "$scratch/one-digit" 1 "fort.50 differs from"
run_case "a record missing" "$eigpick" "$scratch/short" 1 "fort.50 differs from"
run_case "the program fails" "$scratch/failing" "$expected" 1 "eigpick: hdat.out (unit 4), a report"
run_case "the program fails: status" "$scratch/failing" "$expected" 1 "with exit status 1"
run_case "an old fort.50 does not count" "$scratch/silent" "$expected" 1 "fort.50 differs from" "$expected"
run_case "an old fort.50 is replaced" "$eigpick" "$expected" 0 " matches " "$scratch/one-digit"

finish_checks
