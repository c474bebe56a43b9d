#!/usr/bin/env bash
# Listings that end too early, and the 500-record limit of the marker search.
# Usage: truncation.sh EIGPICK SOURCE_DIR
# shellcheck source-path=SCRIPTDIR source=lib.sh
source "$(dirname -- "${BASH_SOURCE[0]}")/lib.sh"

# In the example the marker is record 38, block A's blank terminating row is
# record 65 and block B's last row is record 90.  The statement that meets
# the end of a listing cut after record K:
statement_after_record() {
    local k=$1
    if ((k <= 39)); then echo 17   # records 39-40
    elif ((k == 40)); then echo 18 # record 41
    elif ((k <= 43)); then echo 20 # records 42-44
    elif ((k == 44)); then echo 21 # record 45
    elif ((k == 45)); then echo 23 # record 46
    elif ((k <= 64)); then echo 25 # records 47-65
    elif ((k <= 66)); then echo 58 # records 66-67
    elif ((k <= 69)); then echo 60 # records 68-70
    elif ((k == 70)); then echo 61 # record 71
    elif ((k == 71)); then echo 63 # record 72
    else echo 74                   # records 73-90
    fi
}

# The cause the report adds for a listing cut after record K: the header of
# block A is records 39-46, its rows 47-64 (N = 18) and the terminating row 65;
# block B's header is records 66-72 and its rows 73-90.
cause_after_record() {
    local k=$1
    if ((k <= 45)); then echo "the listing ends in the header of block A"
    elif ((k == 47)); then
        echo "the listing ends in block A after 1 row, before the row with a zero index that ends it"
    elif ((k <= 64)); then
        echo "the listing ends in block A after $((k - 46)) rows, before the row with a zero index that ends it"
    elif ((k <= 71)); then echo "the listing ends in the header of block B"
    else echo "the listing ends in block B after $((k - 72)) of its 18 rows"
    fi
}

# end_of_file_after K STATEMENT: the report of a listing cut after record K.
end_of_file_after() {
    echo "$LISTING $2: end of file after record $1 ($(cause_after_record "$1"))"
}

# expect_partial_vectors LAST_RECORD HAD_OLD: fort.50 after a run that ended
# at end of file after record LAST_RECORD of the example.  Block A is written
# once its terminating row (record 65) has been read; before that fort.50 is
# left alone (an absent one is created empty by opening).
expect_partial_vectors() {
    local last=$1 had_old=$2
    if ((last >= 65)); then
        expected_block_a_only
        expect_same_file "$CASE_DIR/fort.50" "$EXPECTED_FILE"
    elif [[ $had_old == yes ]]; then
        expect_same_file "$CASE_DIR/fort.50" "$OLD_VECTORS"
    else
        expect_empty_file "$CASE_DIR/fort.50"
    fi
}

# cut_case K: the example cut after record K, with and without an old fort.50.
cut_case() {
    local k=$1 old statement
    statement=$(statement_after_record "$k")
    for old in no yes; do
        new_case "listing cut after record $k (old fort.50: $old)"
        first_records "$EXAMPLE_LISTING" "$k" >"$CASE_DIR/hdat.out"
        if [[ $old == yes ]]; then old_vector_file "$CASE_DIR/fort.50"; fi
        run_program
        expect_outcome 1 "$(end_of_file_after "$k" "$statement")"
        expect_partial_vectors "$k" "$old"
    done
}

for ((k = 38; k <= 89; k++)); do
    cut_case "$k"
done

# Cuts inside a record: the last record has no line terminator.  Each case
# gives the full records kept, the text of the unterminated last record and
# the statement that then meets the end.
unterminated_case() {
    local kept=$1 tail_text=$2 statement=$3
    local last=$((kept + 1))
    new_case "unterminated record $last after $kept full records"
    {
        first_records "$EXAMPLE_LISTING" "$kept"
        printf '%s' "$tail_text"
    } >"$CASE_DIR/hdat.out"
    old_vector_file "$CASE_DIR/fort.50"
    run_program
    expect_outcome 1 "$(end_of_file_after "$last" "$statement")"
    expect_partial_vectors "$last" yes
}
record_text() { sed -n "$1p" -- "$EXAMPLE_LISTING"; }
unterminated_case 37 "$(record_text 38)" 17
unterminated_case 40 "$(record_text 41 | cut -c 1-49)" 20
unterminated_case 46 "$(record_text 47 | cut -c 1-30)" 25
unterminated_case 64 "   " 58
unterminated_case 79 "$(record_text 80 | cut -c 1-25)" 74

new_case "listing ending with block B's last row"
first_records "$EXAMPLE_LISTING" 90 >"$CASE_DIR/hdat.out"
old_vector_file "$CASE_DIR/fort.50"
run_program
expect_outcome 0 ""
expect_same_file "$CASE_DIR/fort.50" "$EXAMPLE_VECTORS"

new_case "listing ending with block B's last row, unterminated"
first_records "$EXAMPLE_LISTING" 90 | head -c -1 >"$CASE_DIR/hdat.out"
run_program
expect_outcome 0 ""
expect_same_file "$CASE_DIR/fort.50" "$EXAMPLE_VECTORS"

new_case "CR LF listing cut after record 70"
first_records "$EXAMPLE_LISTING" 70 | sed 's/$/\r/' >"$CASE_DIR/hdat.out"
run_program
expect_outcome 1 "$(end_of_file_after 70 61)"
expect_partial_vectors 70 no

new_case "CR LF listing cut between CR and LF of record 70"
first_records "$EXAMPLE_LISTING" 70 | sed 's/$/\r/' | head -c -1 >"$CASE_DIR/hdat.out"
run_program
expect_outcome 1 "$(end_of_file_after 70 61)"
expect_partial_vectors 70 no

# ---- files with no records or only empty records -------------------------

new_case "empty listing"
: >"$CASE_DIR/hdat.out"
old_vector_file "$CASE_DIR/fort.50"
run_program
expect_outcome 1 "$LISTING 12: end of file: the file holds no records (no record holds \"EIGE\" in columns 17-20)"
expect_same_file "$CASE_DIR/fort.50" "$OLD_VECTORS"

new_case "listing of one empty LF record"
printf '\n' >"$CASE_DIR/hdat.out"
run_program
expect_outcome 1 "$LISTING 12: end of file after record 1 (no record holds \"EIGE\" in columns 17-20)"
expect_empty_file "$CASE_DIR/fort.50"

new_case "listing of one empty CR LF record"
printf '\r\n' >"$CASE_DIR/hdat.out"
run_program
expect_outcome 1 "$LISTING 12: end of file after record 1 (no record holds \"EIGE\" in columns 17-20)"
expect_empty_file "$CASE_DIR/fort.50"

# ---- the 500-record search limit -----------------------------------------

# filler N: N records that are not the marker although they come close:
# "EIGE" one column early, lower case in the right columns, a short record
# ending inside the marker columns, an empty record and plain text.
filler() {
    local i
    for ((i = 1; i <= $1; i++)); do
        case $((i % 5)) in
            0) printf '               EIGENVECTORS\n' ;;
            1) printf '                eigenvectors\n' ;;
            2) printf '                EIG\n' ;;
            3) printf '\n' ;;
            4) printf '                 EIGENVECTORS\n' ;;
        esac
    done
}

new_case "499 records without the marker"
filler 499 >"$CASE_DIR/hdat.out"
old_vector_file "$CASE_DIR/fort.50"
run_program
expect_outcome 1 "$LISTING 12: end of file after record 499 (no record holds \"EIGE\" in columns 17-20)"
expect_same_file "$CASE_DIR/fort.50" "$OLD_VECTORS"

new_case "the example's banner alone (37 records, no marker)"
first_records "$EXAMPLE_LISTING" 37 >"$CASE_DIR/hdat.out"
run_program
expect_outcome 1 "$LISTING 12: end of file after record 37 (no record holds \"EIGE\" in columns 17-20)"
expect_empty_file "$CASE_DIR/fort.50"

not_found_case() {
    run_program
    expect_outcome 0 ""
    expect_bytes "$CASE_DIR/fort.50" $'Eigenvectors are not found\n'
}

new_case "exactly 500 records without the marker"
filler 500 >"$CASE_DIR/hdat.out"
not_found_case

new_case "500 records without the marker, the last unterminated"
filler 500 | head -c -1 >"$CASE_DIR/hdat.out"
not_found_case

new_case "500 records without the marker replace an older fort.50"
filler 500 >"$CASE_DIR/hdat.out"
old_vector_file "$CASE_DIR/fort.50"
not_found_case

new_case "500 records without the marker followed by the example"
{ filler 500; cat -- "$EXAMPLE_LISTING"; } >"$CASE_DIR/hdat.out"
not_found_case

# The marker is record 38 of the example, so 462 records put it at 500.
new_case "marker in record 500 is found"
{ filler 462; cat -- "$EXAMPLE_LISTING"; } >"$CASE_DIR/hdat.out"
run_program
expect_outcome 0 ""
expect_same_file "$CASE_DIR/fort.50" "$EXAMPLE_VECTORS"

new_case "marker in record 501 is not found"
{ filler 463; cat -- "$EXAMPLE_LISTING"; } >"$CASE_DIR/hdat.out"
not_found_case

new_case "marker as the unterminated record 500, nothing after it"
{ filler 499; printf '                EIGE'; } >"$CASE_DIR/hdat.out"
run_program
expect_outcome 1 "$LISTING 17: end of file after record 500 (the listing ends in the header of block A)"
expect_empty_file "$CASE_DIR/fort.50"

finish
