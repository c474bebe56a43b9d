#!/usr/bin/env bash
# The two files: absent, of the wrong kind, read-only, or refusing writes.
# Usage: files.sh EIGPICK SOURCE_DIR
# shellcheck source-path=SCRIPTDIR source=lib.sh
source "$(dirname -- "${BASH_SOURCE[0]}")/lib.sh"

new_case "no hdat.out: it is created empty, the search meets its end"
run_program
expect_outcome 1 "$ABSENT_LISTING"
expect_empty_file "$CASE_DIR/hdat.out"
expect_empty_file "$CASE_DIR/fort.50"

new_case "no hdat.out: an older fort.50 is kept"
old_vector_file "$CASE_DIR/fort.50"
run_program
expect_outcome 1 "$ABSENT_LISTING"
expect_empty_file "$CASE_DIR/hdat.out"
expect_same_file "$CASE_DIR/fort.50" "$OLD_VECTORS"

new_case "hdat.out is a directory"
mkdir -- "$CASE_DIR/hdat.out"
run_program
expect_outcome 1 "$LISTING 8: cannot open or create the file: Is a directory"
expect_absent "$CASE_DIR/fort.50"

new_case "fort.50 is a directory"
cp -- "$EXAMPLE_LISTING" "$CASE_DIR/hdat.out"
mkdir -- "$CASE_DIR/fort.50"
run_program
expect_outcome 1 "$VECTORS 9: cannot open or create the file: Is a directory"
if [[ ! -d $CASE_DIR/fort.50 ]]; then fail "fort.50 should still be a directory"; fi
expect_same_file "$CASE_DIR/hdat.out" "$EXAMPLE_LISTING"

new_case "fort.50 on a full device: the first write fails"
cp -- "$EXAMPLE_LISTING" "$CASE_DIR/hdat.out"
ln -s /dev/full "$CASE_DIR/fort.50"
run_program
expect_outcome 1 "$VECTORS 50: cannot write the file: No space left on device"

new_case "fort.50 on a full device: the not-found record fails"
printf '%s\n' {1..500} >"$CASE_DIR/hdat.out"
ln -s /dev/full "$CASE_DIR/fort.50"
run_program
expect_outcome 1 "$VECTORS 15: cannot write the file: No space left on device"

new_case "read-only hdat.out is read"
cp -- "$EXAMPLE_LISTING" "$CASE_DIR/hdat.out"
chmod 444 "$CASE_DIR/hdat.out"
run_program
expect_outcome 0 ""
expect_same_file "$CASE_DIR/fort.50" "$EXAMPLE_VECTORS"
expect_same_file "$CASE_DIR/hdat.out" "$EXAMPLE_LISTING"

new_case "hdat.out is a symbolic link to a listing elsewhere"
ln -s "$EXAMPLE_LISTING" "$CASE_DIR/hdat.out"
run_program
expect_outcome 0 ""
expect_same_file "$CASE_DIR/fort.50" "$EXAMPLE_VECTORS"

# ---- writes refused part way: a file size limit ---------------------------
# With the limit at the end of some records of the expected file, the next
# write statement fails and fort.50 holds exactly the records before it.
# The run gets SIGXFSZ at its default disposition (run_with_size_limit): the
# program must keep the signal from killing it and report the refused write.
# size_limits.sh has the same limits with an older, longer fort.50 present.

# size_limit_case RECORDS STATEMENT [EXTRA]: the limit is the size of the first
# RECORDS records of the expected file plus EXTRA bytes of the next; STATEMENT
# is the write that fails, and none of its bytes may stay behind.
size_limit_case() {
    local records=$1 statement=$2 extra=${3:-0} limit
    new_case "writes limited to the first $records records and $extra bytes: statement $statement fails"
    cp -- "$EXAMPLE_LISTING" "$CASE_DIR/hdat.out"
    EXPECTED_FILE=$SCRATCH/expected$CASE_COUNT
    first_records "$EXAMPLE_VECTORS" "$records" >"$EXPECTED_FILE"
    limit=$(($(wc -c <"$EXPECTED_FILE") + extra))
    run_with_size_limit "$limit"
    expect_outcome 1 "$VECTORS $statement: cannot write the file: File too large"
    expect_same_file "$CASE_DIR/fort.50" "$EXPECTED_FILE"
}

if command -v prlimit >/dev/null; then
    size_limit_case 0 50   # the count record
    size_limit_case 1 52   # block A's first header
    size_limit_case 4 53   # block A's first coefficients
    size_limit_case 6 52   # block A's second header
    size_limit_case 21 101 # block B's first header, after block B was read
    size_limit_case 24 102 # block B's first coefficients
    size_limit_case 26 104 # block B's second header
    size_limit_case 29 105 # block B's second coefficients
    size_limit_case 49 105 # block B's last coefficients
    size_limit_case 0 50 3    # inside the count record
    size_limit_case 4 53 130  # inside the second coefficient record of a statement
    size_limit_case 21 101 1  # inside the first of block B's header records

    new_case "write limit exactly the size of the whole file"
    cp -- "$EXAMPLE_LISTING" "$CASE_DIR/hdat.out"
    run_with_size_limit "$(wc -c <"$EXAMPLE_VECTORS")"
    expect_outcome 0 ""
    expect_same_file "$CASE_DIR/fort.50" "$EXAMPLE_VECTORS"

    new_case "no room for the not-found record"
    printf '%s\n' {1..500} >"$CASE_DIR/hdat.out"
    run_with_size_limit 0
    expect_outcome 1 "$VECTORS 15: cannot write the file: File too large"
    expect_empty_file "$CASE_DIR/fort.50"

    # A limit inside a record: the records of the completed statements are
    # intact (what part of the refused statement reached the file is not
    # checked).
    new_case "write limit inside block A's first coefficient record"
    cp -- "$EXAMPLE_LISTING" "$CASE_DIR/hdat.out"
    first_records "$EXAMPLE_VECTORS" 4 >"$SCRATCH/completed"
    run_with_size_limit "$(($(wc -c <"$SCRATCH/completed") + 50))"
    expect_outcome 1 "$VECTORS 53: cannot write the file: File too large"
    if ! head -c "$(wc -c <"$SCRATCH/completed")" -- "$CASE_DIR/fort.50" 2>/dev/null | cmp -s - "$SCRATCH/completed"; then
        fail "fort.50 does not begin with the four records written before statement 53"
        show "$CASE_DIR/fort.50"
    fi
else
    echo "prlimit not found: cases with a file size limit not run"
fi

finish
