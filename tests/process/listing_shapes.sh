#!/usr/bin/env bash
# Generated listings of other shapes than the example: row counts around the
# twelve-per-record split and the 200-row limit, p shells in various places,
# and block B rows that differ from block A's.
# Usage: listing_shapes.sh EIGPICK SOURCE_DIR
# shellcheck source-path=SCRIPTDIR source=lib.sh
source "$(dirname -- "${BASH_SOURCE[0]}")/lib.sh"

# A generated listing has a three-record banner, the marker as record 4, and
# the two blocks laid out column for column as the program reads them.  Every
# coefficient is a two-decimal value from -0.99 to 0.99 written "%8.5f", so
# its 32-bit value rounds back to the same five decimals.  Columns that the
# program skips hold "-9.87654" or letters, never the values read.

# coefficient BLOCK ROW COLUMN: sets COEF to the value's text.
coefficient() {
    local n=$((($2 * 13 + $3 * 7 + $1 * 31) % 199 - 99))
    printf -v COEF '%.5f' "${n}e-2"
}

# A block B row whose index field is written as 0 (0 for none).
ZERO_INDEX_B=0

# Labels of the rows, one word per row (underscores stand for blanks), for
# block A (LABELS_A) and block B (LABELS_B); rows without a word are "  S ".
LABELS_A=()
LABELS_B=()
label_of() { # BLOCK ROW -> LABEL
    local word
    if [[ $1 == A ]]; then word=${LABELS_A[$2 - 1]:-__S_}; else word=${LABELS_B[$2 - 1]:-__S_}; fi
    LABEL=${word//_/ }
}

# write_listing N [EXTRA_A] [EXTRA_B]: block A of N rows, ended by a blank row
# when N < 200; with EXTRA_A (for N = 200) a further row with a non-zero index
# follows row 200 in place of the record that block B's first statement
# passes over.  Block B has N rows plus
# EXTRA_B more rows full of letters, never read.
write_listing() {
    local n=$1 extra_a=${2:-0} extra_b=${3:-0} row column
    {
        printf ' GENERATED LISTING\n\n  %d ROWS\n' "$n"
        printf '                EIGENVECTORS\n\n'
        printf '                     ROOT NO.\n'
        printf '%41s%8d%8d%8d%8d\n' "$(xs 41)" 5 6 7 8
        printf '\n%41s%8s%8s%8s%8s\n\n' "" A1 B1 B2 A2
        printf '%43s%8.3f%8.3f%8.3f%8.3f\n\n' "" -2.5 -1.25 0.5 1.75
        for ((row = 1; row <= n; row++)); do
            label_of A "$row"
            printf '%-4s O 1%3d' "$LABEL" "$row"
            printf '%8s' -9.87654 -9.87654 -9.87654 -9.87654
            for column in 1 2 3 4; do
                coefficient 1 "$row" "$column"
                printf '%8s' "$COEF"
            done
            printf '\n'
        done
        if ((n < 200)); then printf '\n'; fi
        if ((extra_a)); then
            printf '  S  O 1201%s\n' "$(xs 64)"
        else
            printf '                     ROOT NO.\n'
        fi
        printf '%11s%6d%8d%8d%8d%8d%8d\n' "" 9 10 11 12 13 14
        printf '\n%11s%8s%8s%8s%8s%8s%8s\n\n' "" A1 B1 B2 A2 A1 B1
        printf '%11s%8.3f%8.3f%8.3f%8.3f%8.3f%8.3f\n\n' "" 2.125 2.25 2.5 3 3.5 4
        for ((row = 1; row <= n; row++)); do
            label_of B "$row"
            printf '%-4s O 1%3d' "$LABEL" "$((row == ZERO_INDEX_B ? 0 : row))"
            for column in 1 2 3 4 5 6; do
                coefficient 2 "$row" "$column"
                printf '%8s' "$COEF"
            done
            printf '\n'
        done
        for ((row = 1; row <= extra_b; row++)); do
            printf '%s\n' "$(xs 59)"
        done
    } >"$CASE_DIR/hdat.out"
}

# output_order BLOCK N: sets ORDER to the rows in output order, each "  Px"
# row (looked at only where a scan position lands) moved behind the next two.
output_order() {
    local block=$1 n=$2 row=1
    ORDER=()
    while ((row <= n)); do
        label_of "$block" "$row"
        if [[ $LABEL == "  Px" ]]; then
            ORDER+=($((row + 1)) $((row + 2)) "$row")
            row=$((row + 3))
        else
            ORDER+=("$row")
            row=$((row + 1))
        fi
    done
}

# write_section BLOCK_NUMBER COLUMN ROOT EIGENVALUE MARK: one section of the
# expected vector file, ORDER giving the rows.
write_section() {
    local block=$1 column=$2 count=0 row
    printf '\n\n    E (%3d ) = %10.5f%s\n' "$3" "$4" "$5"
    for row in "${ORDER[@]}"; do
        coefficient "$block" "$row" "$column"
        printf '%10.5f' "$COEF"
        count=$((count + 1))
        if ((count % 12 == 0)); then printf '\n'; fi
    done
    if ((count == 0 || count % 12 != 0)); then printf '\n'; fi
}

# write_expected N: the vector file a run over write_listing's listing writes.
write_expected() {
    local n=$1 column
    EXPECTED_FILE=$SCRATCH/expected$CASE_COUNT
    local -a roots_a=(5 6 7 8) eigen_a=(-2.5 -1.25 0.5 1.75)
    local -a roots_b=(9 10 11 12 13 14) eigen_b=(2.125 2.25 2.5 3 3.5 4)
    {
        printf '%5d\n' "$n"
        output_order A "$n"
        for column in 1 2 3 4; do
            write_section 1 "$column" "${roots_a[column - 1]}" "${eigen_a[column - 1]}" ""
        done
        output_order B "$n"
        for column in 1 2 3 4 5 6; do
            local mark=""
            if ((column == 1)); then mark="  1"; fi
            write_section 2 "$column" "${roots_b[column - 1]}" "${eigen_b[column - 1]}" "$mark"
        done
    } >"$EXPECTED_FILE"
}

# shape_case NAME N [EXTRA_A] [EXTRA_B]: LABELS_A and LABELS_B set by caller.
shape_case() {
    local name=$1
    shift
    new_case "$name"
    write_listing "$@"
    write_expected "$1"
    run_program
    expect_outcome 0 ""
    expect_same_file "$CASE_DIR/fort.50" "$EXPECTED_FILE"
}

# ---- row counts ------------------------------------------------------------
LABELS_A=()
LABELS_B=()
shape_case "no rows: blank first row of block A" 0
shape_case "no rows, block B's listed rows never read" 0 0 3
shape_case "one row" 1
shape_case "eleven rows" 11
shape_case "twelve rows fill one record" 12
shape_case "thirteen rows spill one value" 13
shape_case "twenty-four rows fill two records" 24
shape_case "199 rows and a terminating row" 199
shape_case "200 rows: no terminating row is read" 200
shape_case "200 rows: a 201st row is passed over by block B's first statement" 200 1
shape_case "block B listing longer than N: the rest is never read" 5 0 4
ZERO_INDEX_B=2
shape_case "a zero index field does not end block B" 5
ZERO_INDEX_B=0

# ---- p shells ---------------------------------------------------------------
LABELS_A=(__S_ __Px __Py __Pz __S_)
LABELS_B=("${LABELS_A[@]}")
shape_case "one p shell inside" 5
LABELS_A=(__Px __Py __Pz __Px __Py __Pz)
LABELS_B=("${LABELS_A[@]}")
shape_case "two p shells in succession from row 1" 6
LABELS_A=(__Px __Px __Px __Px __Px __Px __S_)
LABELS_B=("${LABELS_A[@]}")
shape_case "only the first row of a triple is looked at" 7
LABELS_A=(__PX __px _Px_ Px__ __Py __Pz __P_ _xP_ ___x __Px __Py __Pz __S_)
LABELS_B=("${LABELS_A[@]}")
shape_case "near misses of the p label are copied unchanged" 13
LABELS_A=(__S_ __Px __Py __Pz __S_ __S_ __S_ __S_)
LABELS_B=(__S_ __S_ __S_ __Px __Py __Pz __S_ __S_)
shape_case "block B is reordered by its own labels" 8
LABELS_A=(__S_ __S_ __S_ __S_ __S_ __S_)
LABELS_B=(__Px __Py __Pz __S_ __S_ __S_)
shape_case "p shell only in block B" 6
LABELS_A=(__Px __Py __Pz __S_ __S_ __S_ __S_ __S_ __S_ __S_ __S_ __S_ __Px __Py __Pz)
LABELS_B=("${LABELS_A[@]}")
shape_case "p shell straddling the twelve-value record boundary" 15
LABELS_A=()
LABELS_B=()

finish
