#!/usr/bin/env bash
# A first record of 256 MiB is read under an address-space limit of a quarter
# of that: records must be taken as they stream past, not held whole.
# Usage: big_record.sh EIGPICK SOURCE_DIR
# Exits 77 (skipped) for sanitizer builds (EIGPICK_SANITIZED=1), which reserve
# far more address space than any such limit.
# shellcheck source-path=SCRIPTDIR source=lib.sh
source "$(dirname -- "${BASH_SOURCE[0]}")/lib.sh"

skip_for_sanitizers "sanitizer builds cannot run under an address-space limit"
require_tool prlimit

RECORD_BYTES=$((256 * 1024 * 1024))
LIMIT_BYTES=$((RECORD_BYTES / 4))

# Control: the plain example runs under the limit, so a failure below is due
# to the long record.
new_case "example under an address-space limit of $((LIMIT_BYTES / 1024 / 1024)) MiB"
cp -- "$EXAMPLE_LISTING" "$CASE_DIR/hdat.out"
run_wrapped prlimit --as="$LIMIT_BYTES" -- EIGPICK
expect_outcome 0 ""
expect_same_file "$CASE_DIR/fort.50" "$EXAMPLE_VECTORS"

# long_record_case NAME KEPT RESUME: the example's first KEPT records, a
# record of RECORD_BYTES letters x, then the example from record RESUME on.
long_record_case() {
    new_case "$1"
    {
        first_records "$EXAMPLE_LISTING" "$2"
        head -c "$RECORD_BYTES" /dev/zero | tr '\0' x
        printf '\n'
        tail -n +"$3" -- "$EXAMPLE_LISTING"
    } >"$CASE_DIR/hdat.out"
    run_wrapped prlimit --as="$LIMIT_BYTES" -- EIGPICK
    expect_outcome 0 ""
    expect_same_file "$CASE_DIR/fort.50" "$EXAMPLE_VECTORS"
    rm -f -- "$CASE_DIR/hdat.out"
}

# The marker moves to record 39, still well within the search limit.
long_record_case "first record of $((RECORD_BYTES / 1024 / 1024)) MiB, read by the search" 0 1
# In place of record 39, the record that block A's first header statement
# passes over with its slash.
long_record_case "long record passed over by a slash" 38 40

finish
