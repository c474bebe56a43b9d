#!/usr/bin/env bash
# Standard descriptors closed at start.  The program opens each closed one of
# 0, 1 and 2 on /dev/null before anything else, so that neither file takes
# its number: a report meant for standard error must never land in hdat.out
# or fort.50.
# Usage: descriptors.sh EIGPICK SOURCE_DIR
# shellcheck source-path=SCRIPTDIR source=lib.sh
source "$(dirname -- "${BASH_SOURCE[0]}")/lib.sh"

BAD_FIELD_REPORT="$LISTING 74, record 90, columns 12-19: bad real field \"0.1x    \""

# expect_closed_outcome CLOSED STATUS STDERR_LINE: expect_outcome, leaving out
# the streams that were closed.
expect_closed_outcome() {
    expect_status "$2"
    if [[ " $1 " != *" 1 "* ]]; then expect_no_stdout; fi
    if [[ " $1 " != *" 2 "* ]]; then expect_stderr "$3"; fi
}

# With 2 closed alone the listing would be descriptor 2; with 0 or 1 closed
# too, fort.50 would.
for closed in "2" "0 2" "1 2" "0 1 2" "0 1"; do
    new_case "bad field in block B, descriptors $closed closed"
    listing_with 90 12 '0.1x    '
    cp -- "$CASE_DIR/hdat.out" "$SCRATCH/listing$CASE_COUNT"
    old_vector_file "$CASE_DIR/fort.50"
    run_io /dev/null "$closed" EIGPICK
    expect_closed_outcome "$closed" 1 "$BAD_FIELD_REPORT"
    expect_same_file "$CASE_DIR/hdat.out" "$SCRATCH/listing$CASE_COUNT"
    expected_block_a_only
    expect_same_file "$CASE_DIR/fort.50" "$EXPECTED_FILE"
done

for closed in "2" "0 2"; do
    new_case "listing cut after record 70, descriptors $closed closed"
    first_records "$EXAMPLE_LISTING" 70 >"$CASE_DIR/hdat.out"
    cp -- "$CASE_DIR/hdat.out" "$SCRATCH/listing$CASE_COUNT"
    run_io /dev/null "$closed" EIGPICK
    expect_closed_outcome "$closed" 1 "$LISTING 61: end of file after record 70 (the listing ends in the header of block B)"
    expect_same_file "$CASE_DIR/hdat.out" "$SCRATCH/listing$CASE_COUNT"
    expected_block_a_only
    expect_same_file "$CASE_DIR/fort.50" "$EXPECTED_FILE"
done

new_case "fort.50 on a full device, standard error closed"
cp -- "$EXAMPLE_LISTING" "$CASE_DIR/hdat.out"
ln -s /dev/full "$CASE_DIR/fort.50"
run_io /dev/null "2" EIGPICK
expect_closed_outcome "2" 1 ""
expect_same_file "$CASE_DIR/hdat.out" "$EXAMPLE_LISTING"

for closed in "0 1 2" "0" "1"; do
    new_case "good run, descriptors $closed closed"
    cp -- "$EXAMPLE_LISTING" "$CASE_DIR/hdat.out"
    old_vector_file "$CASE_DIR/fort.50"
    run_io /dev/null "$closed" EIGPICK
    expect_closed_outcome "$closed" 0 ""
    expect_same_file "$CASE_DIR/fort.50" "$EXAMPLE_VECTORS"
    expect_same_file "$CASE_DIR/hdat.out" "$EXAMPLE_LISTING"
done

# An absent hdat.out is created empty and the search meets its end, as with
# standard input open.
for closed in "0" "0 2"; do
    new_case "no hdat.out, descriptors $closed closed"
    run_io /dev/null "$closed" EIGPICK
    expect_closed_outcome "$closed" 1 "$ABSENT_LISTING"
    expect_empty_file "$CASE_DIR/hdat.out"
    expect_empty_file "$CASE_DIR/fort.50"
done

finish
