#!/usr/bin/env bash
# Fields of the example listing edited: text that cannot be converted is
# fatal with an exact report; columns the program never converts accept
# anything; extreme but valid values are written as the output rules say.
# Usage: bad_fields.sh EIGPICK SOURCE_DIR
# shellcheck source-path=SCRIPTDIR source=lib.sh
source "$(dirname -- "${BASH_SOURCE[0]}")/lib.sh"

# ---- fields that cannot be converted -------------------------------------

# bad_case STATEMENT RECORD COLUMNS KIND SHOWN TEXT: puts TEXT (printf %b
# escapes) into RECORD from the first of COLUMNS on; the run must stop at
# STATEMENT with a bad KIND field report quoting SHOWN.  fort.50 starts as an
# old file: a failure in block A (statements below 58) leaves it untouched,
# a failure in block B leaves exactly the count record and block A.
bad_case() {
    local statement=$1 record=$2 columns=$3 kind=$4 shown=$5 text=$6
    new_case "bad $kind field \"$shown\" in record $record, columns $columns"
    listing_with "$record" "${columns%-*}" "$text"
    old_vector_file "$CASE_DIR/fort.50"
    run_program
    expect_outcome 1 "$LISTING $statement, record $record, columns $columns: bad $kind field \"$shown\""
    if ((statement >= 58)); then
        expected_block_a_only
        expect_same_file "$CASE_DIR/fort.50" "$EXPECTED_FILE"
    else
        expect_same_file "$CASE_DIR/fort.50" "$OLD_VECTORS"
    fi
}

# Block A header: root numbers (I8) and eigenvalues (F8.3).
bad_case 18 41 42-49 integer '     5x ' '     5x '
bad_case 18 41 50-57 integer '  - 6 - ' '  - 6 - '
bad_case 18 41 58-65 integer '    1e3 ' '    1e3 '
bad_case 18 41 66-73 integer '      8.' '      8.'
bad_case 21 45 44-51 real '  -0.4.8' '  -0.4.8'
bad_case 21 45 68-75 real ' 1.024E ' ' 1.024E '
# Block A rows: index field (I3) and coefficients (F8.5).
bad_case 25 57 44-51 real '12.3x456' '12.3x456'
bad_case 25 47 52-59 real '-9.854-+' '-9.854-+'
bad_case 25 48 60-67 real '   .    ' '   .    '
bad_case 25 49 68-75 real '1.0E+5.0' '1.0E+5.0'
bad_case 25 64 68-75 real '0x1p-3  ' '0x1p-3  '
bad_case 25 50 9-11 integer ' 4x' ' 4x'
bad_case 25 47 9-11 integer '1.0' '1.0'
# Block A's blank terminating row (record 65) is converted like any row.
bad_case 25 65 44-51 real '      x ' '      x'
bad_case 25 65 9-11 integer ' +x' ' +x'
# Block B header: root numbers (I6, then I8) and eigenvalues (F8.3).
bad_case 58 67 12-17 integer '    9x' '    9x'
bad_case 58 67 50-57 integer '    14-1' '    14-1'
bad_case 61 71 12-19 real '   1,130' '   1,130'
bad_case 61 71 52-59 real '   1.8q4' '   1.8q4'
# Block B rows.
bad_case 74 90 12-19 real '0.1x    ' '0.1x    '
bad_case 74 73 44-51 real 'E5      ' 'E5      '
bad_case 74 73 52-59 real ' 0.0--1 ' ' 0.0--1 '
bad_case 74 80 9-11 integer '  ?' '  ?'
# Bytes shown escaped in the report.
bad_case 25 57 44-51 real '0.0\x000000' '0.0\x000000'
bad_case 25 57 44-51 real '1\x222\x5C3   ' '1"2\\3   '
bad_case 25 57 44-51 real '0.5\xE9    ' '0.5\xe9    '
bad_case 25 57 44-51 real '\x01\x7F0.5   ' '\x01\x7f0.5   '
bad_case 74 90 12-19 real '0.1\xFF\xFE   ' '0.1\xff\xfe   '

# ---- a zero index field in block A's first row ---------------------------
# N = 0: block A's four sections have empty coefficient records, and block B's
# header is then taken from records 48-54, so its first root-number field is
# columns 12-17 of record 49, which holds "-0.005".
new_case "zero index field in the first row of block A"
listing_with 47 9 '  0'
run_program
expect_outcome 1 "$LISTING 58, record 49, columns 12-17: bad integer field \"-0.005\""
EXPECTED_FILE=$SCRATCH/expected-empty-block
{
    printf '    0\n'
    for header in '  5 ) =   -0.49800' '  6 ) =    0.21100' '  7 ) =    0.30500' '  8 ) =    1.02400'; do
        printf '\n\n    E (%s\n\n' "$header"
    done
} >"$EXPECTED_FILE"
expect_same_file "$CASE_DIR/fort.50" "$EXPECTED_FILE"

# ---- columns the program never converts ----------------------------------

# ignored_case NAME EDITS...: the edits touch only columns that are skipped or
# read as characters, so the run is the example's.
ignored_case() {
    local name=$1
    shift
    new_case "never converted: $name"
    listing_with "$@"
    run_program
    expect_outcome 0 ""
    expect_same_file "$CASE_DIR/fort.50" "$EXAMPLE_VECTORS"
}
ignored_case "marker record around the marker" 38 1 "$(xs 16)" 38 21 "$(xs 60)"
ignored_case "record skipped by the first header statement" 39 1 "$(xs 80)"
ignored_case "integer fields of the root-number title record" 40 1 "$(xs 80)"
ignored_case "roots 1-4 and the tail of the root-number record" 41 1 "$(xs 41)" 41 74 "$(xs 20)"
ignored_case "symmetry label records of block A" 42 1 "$(xs 80)" 43 1 "$(xs 80)" 44 1 "$(xs 80)"
ignored_case "eigenvalues 1-4 and the tail of the eigenvalue record" 45 1 "$(xs 43)" 45 76 "$(xs 20)"
ignored_case "record before block A's rows" 46 1 "$(xs 80)"
ignored_case "coefficients of roots 1-4 in a row" 50 12 "$(xs 32)" 63 12 "$(xs 32)"
ignored_case "columns after root 8 in a row" 50 76 "$(xs 20)"
ignored_case "second label of a row" 47 5 '\x01\xff"\x5c' 55 5 "$(xs 4)"
ignored_case "labels of the terminating row" 65 1 "$(xs 8)"
ignored_case "record skipped by block B's first statement" 66 1 "$(xs 80)"
ignored_case "around block B's root numbers" 67 1 "$(xs 11)" 67 58 "$(xs 20)"
ignored_case "symmetry label records of block B" 68 1 "$(xs 80)" 69 1 "$(xs 80)" 70 1 "$(xs 80)"
ignored_case "around block B's eigenvalues" 71 1 "$(xs 11)" 71 60 "$(xs 20)"
ignored_case "record before block B's rows" 72 1 "$(xs 80)"
ignored_case "columns after root 14 in a row" 80 60 "$(xs 20)" 90 60 "$(xs 20)"

new_case "never converted: records after block B hold every byte value"
{
    first_records "$EXAMPLE_LISTING" 90
    for ((byte = 0; byte < 256; byte++)); do
        # shellcheck disable=SC2059 # the format is the escape itself
        printf "\\x$(printf '%02x' "$byte")"
    done
    printf 'x1x2x3\n'
} >"$CASE_DIR/hdat.out"
run_program
expect_outcome 0 ""
expect_same_file "$CASE_DIR/fort.50" "$EXAMPLE_VECTORS"

new_case "negative index field does not end block A"
listing_with 50 9 ' -4' 64 9 '-18'
run_program
expect_outcome 0 ""
expect_same_file "$CASE_DIR/fort.50" "$EXAMPLE_VECTORS"

# ---- extreme values that are no error ------------------------------------

# value_case NAME RECORD COLUMN TEXT OUT_RECORD OUT_COLUMN OUT_TEXT: the
# listing edit and the matching edit of the expected vector file.
value_case() {
    local name=$1 record=$2 column=$3 text=$4 out_record=$5 out_column=$6 out_text=$7
    new_case "value: $name"
    listing_with "$record" "$column" "$text"
    expected_with "$out_record" "$out_column" "$out_text"
    run_program
    expect_outcome 0 ""
    expect_same_file "$CASE_DIR/fort.50" "$EXPECTED_FILE"
}

# Block A row 11 (record 57, root 5 in columns 44-51) is value 11 of
# section 1; block B row 1 (record 73, root 9 in columns 12-19) is value 1 of
# section 5.  Neither row is in a p shell.
read -r A11_RECORD A11_COLUMN <<<"$(vector_value_place 1 11)"
read -r B1_RECORD B1_COLUMN <<<"$(vector_value_place 5 1)"
a11() { value_case "$1" 57 44 "$2" "$A11_RECORD" "$A11_COLUMN" "$3"; }
b1() { value_case "$1" 73 12 "$2" "$B1_RECORD" "$B1_COLUMN" "$3"; }

a11 "exponent beyond binary32 gives asterisks" ' 1.0E+99' '**********'
a11 "negative exponent beyond binary32 gives asterisks" '-1.0E+99' '**********'
a11 "exponent far below binary32 gives zero" ' 1.0E-99' '   0.00000'
a11 "negative value far below binary32 keeps its sign" '-1.0E-99' '  -0.00000'
a11 "negative zero keeps its sign" '-0.00000' '  -0.00000'
a11 "implied decimals scaled by an exponent" '   1E2  ' '   0.00100'
a11 "rounding carries into the units" '0.999996' '   1.00000'
a11 "negative rounding carries into the units" '-.999996' '  -1.00000'
a11 "largest text that fits ten columns" '9999.999' '9999.99902'
a11 "most negative text that fits ten columns" '-999.999' '-999.99902'
a11 "negative value one column too wide" '-1000.00' '**********'
a11 "positive value too wide" '12345.6 ' '**********'
a11 "implied decimals rounding up to 1000" '99999999' '1000.00000'
b1 "block B value beyond binary32" '-1.0E+99' '**********'
b1 "block B value below binary32" ' 1.0D-99' '   0.00000'

# Headers: section 1 (root 5, eigenvalue from record 45 columns 44-51, root
# number from record 41 columns 42-49) and section 5 (record 67 columns 12-17).
SECTION_1_HEADER=$(header_record 1)
SECTION_5_HEADER=$(header_record 5)
value_case "eigenvalue beyond binary32" 45 44 ' 1.0E+99' "$SECTION_1_HEADER" 16 '**********'
value_case "root number 1000 gives asterisks" 41 42 '    1000' "$SECTION_1_HEADER" 8 '***'
value_case "root number 999 fits" 41 42 '     999' "$SECTION_1_HEADER" 8 '999'
value_case "root number -99 fits" 41 42 '     -99' "$SECTION_1_HEADER" 8 '-99'
value_case "root number -100 gives asterisks" 41 42 '    -100' "$SECTION_1_HEADER" 8 '***'
value_case "root number with blanks after its sign" 41 42 '  -   7 ' "$SECTION_1_HEADER" 8 ' -7'
value_case "blank root number reads as zero" 41 42 '        ' "$SECTION_1_HEADER" 8 '  0'
value_case "block B root number 1000 gives asterisks" 67 12 '  1000' "$SECTION_5_HEADER" 8 '***'
value_case "block B blank eigenvalue reads as zero" 71 12 '        ' "$SECTION_5_HEADER" 16 '   0.00000'

finish
