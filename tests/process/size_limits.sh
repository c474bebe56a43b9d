#!/usr/bin/env bash
# A file size limit refuses writes part way while an older, longer fort.50
# from an earlier run is in place: the run must report the refused write
# statement and leave exactly the records of the statements before it, none
# of the old bytes.  SIGXFSZ is at its default disposition, as in a batch job.
# Usage: size_limits.sh EIGPICK SOURCE_DIR
# Exits 77 (skipped) without prlimit.
# shellcheck source-path=SCRIPTDIR source=lib.sh
source "$(dirname -- "${BASH_SOURCE[0]}")/lib.sh"

require_tool prlimit
require_default_signals

EXAMPLE_BYTES=$(wc -c <"$EXAMPLE_VECTORS")
if (($(wc -c <"$OLD_VECTORS") <= EXAMPLE_BYTES + 100)); then
    echo "the old fort.50 must be longer than any limit used here" >&2
    exit 2
fi

# old_file_limit_case RECORDS STATEMENT EXTRA: an old fort.50 is present; the
# limit is the size of the first RECORDS records of the expected file plus
# EXTRA bytes; STATEMENT is the write that fails.
old_file_limit_case() {
    local records=$1 statement=$2 extra=$3
    new_case "old fort.50, writes limited to $records records and $extra bytes: statement $statement fails"
    cp -- "$EXAMPLE_LISTING" "$CASE_DIR/hdat.out"
    old_vector_file "$CASE_DIR/fort.50"
    EXPECTED_FILE=$SCRATCH/expected$CASE_COUNT
    first_records "$EXAMPLE_VECTORS" "$records" >"$EXPECTED_FILE"
    run_with_size_limit "$(($(wc -c <"$EXPECTED_FILE") + extra))"
    expect_outcome 1 "$VECTORS $statement: cannot write the file: File too large"
    expect_same_file "$CASE_DIR/fort.50" "$EXPECTED_FILE"
    expect_same_file "$CASE_DIR/hdat.out" "$EXAMPLE_LISTING"
}

# The first write statement, the count record: fort.50 ends empty.
old_file_limit_case 0 50 0
old_file_limit_case 0 50 3
# Middle statements, in block A and in block B (written after block B was
# read), at a record boundary and inside a record.
old_file_limit_case 4 53 0
old_file_limit_case 4 53 130
old_file_limit_case 21 101 1
old_file_limit_case 24 102 60
# The last write statement (section 10's coefficients, records 50-51): its
# first record (121 bytes) fits, its last one (61 bytes) does not.
old_file_limit_case 49 105 0
old_file_limit_case 49 105 121
old_file_limit_case 49 105 180

new_case "old fort.50 longer than the limit, the new one fits it exactly"
cp -- "$EXAMPLE_LISTING" "$CASE_DIR/hdat.out"
old_vector_file "$CASE_DIR/fort.50"
run_with_size_limit "$EXAMPLE_BYTES"
expect_outcome 0 ""
expect_same_file "$CASE_DIR/fort.50" "$EXAMPLE_VECTORS"

new_case "old fort.50 longer than the limit, the new one well under it"
cp -- "$EXAMPLE_LISTING" "$CASE_DIR/hdat.out"
old_vector_file "$CASE_DIR/fort.50"
run_with_size_limit "$((EXAMPLE_BYTES + 100))"
expect_outcome 0 ""
expect_same_file "$CASE_DIR/fort.50" "$EXAMPLE_VECTORS"

new_case "old fort.50, the not-found record refused part way"
printf '%s\n' {1..500} >"$CASE_DIR/hdat.out"
old_vector_file "$CASE_DIR/fort.50"
run_with_size_limit 10
expect_outcome 1 "$VECTORS 15: cannot write the file: File too large"
expect_empty_file "$CASE_DIR/fort.50"

finish
