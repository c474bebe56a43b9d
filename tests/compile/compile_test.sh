#!/usr/bin/env bash
# Formats and item lists are checked while compiling: each file here compiles
# with EIGPICK_WELL_FORMED and fails to compile without it, with one error
# that names the fault.
#   compile_test.sh CXX SOURCE_DIR
set -u
export LC_ALL=C
# shellcheck source-path=SCRIPTDIR source=../support/checks.sh
source "$(dirname -- "${BASH_SOURCE[0]}")/../support/checks.sh"
expect_arguments 2 "CXX SOURCE_DIR" "$@"
cxx=$1
source_dir=$(realpath -- "$2")
new_scratch compile-test

# case FILE DIAGNOSTIC [FAULT]: the words the compiler must give for the fault,
# or for the one the file holds where the macro FAULT is defined.
compile_case() {
  local file=$source_dir/tests/compile/$1 expected=$2 name="$1${3:+ ($3)}"
  local flags=(-std=c++20 -fsyntax-only -I "$source_dir/src")
  "$cxx" "${flags[@]}" -DEIGPICK_WELL_FORMED "$file" >"$scratch/good.log" 2>&1
  check "$name compiles when well formed" "0" "$?"
  [[ -s $scratch/good.log ]] && head -n 5 "$scratch/good.log"
  "$cxx" "${flags[@]}" ${3:+"-D$3"} "$file" >"$scratch/bad.log" 2>&1
  local status=$?
  check "$name does not compile" "failed" "$([[ $status -ne 0 ]] && echo failed || echo compiled)"
  check "$name names the fault" "yes" "$(grep -q -- "$expected" "$scratch/bad.log" && echo yes || echo no)"
  check "$name gives one error" 1 "$(grep -c 'error:' "$scratch/bad.log")"
}

compile_case malformed_format.cpp "this text is no format: items need a comma between them"
compile_case mismatched_items.cpp "item 2 does not match the kind of its field"
compile_case mismatched_items.cpp "item 3 is a span of any length, and a read takes items of fixed" \
  EIGPICK_LIST_IN_A_READ
compile_case missing_item.cpp "item 2 is missing: the format has a field for it"
compile_case wrong_type.cpp "item 2 is of a type no field takes"

finish_checks
