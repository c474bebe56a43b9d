#!/usr/bin/env bash
# The bundled example listing converts to exactly the expected vector file,
# whatever the command line, the line terminators or an older fort.50.
# Usage: example.sh EIGPICK SOURCE_DIR
# shellcheck source-path=SCRIPTDIR source=lib.sh
source "$(dirname -- "${BASH_SOURCE[0]}")/lib.sh"

# A run over the example: status 0, silent, fort.50 exact, hdat.out untouched.
expect_example_run() {
    expect_outcome 0 ""
    expect_same_file "$CASE_DIR/fort.50" "$EXAMPLE_VECTORS"
}

new_case "example converts exactly"
cp -- "$EXAMPLE_LISTING" "$CASE_DIR/hdat.out"
run_program
expect_example_run
expect_same_file "$CASE_DIR/hdat.out" "$EXAMPLE_LISTING"

new_case "second run in the same directory writes the same file"
cp -- "$EXAMPLE_LISTING" "$CASE_DIR/hdat.out"
run_program
expect_example_run
run_program
expect_example_run
expect_same_file "$CASE_DIR/hdat.out" "$EXAMPLE_LISTING"

# Command-line arguments are ignored, including ones that name other files.
arguments_case() {
    new_case "arguments ignored: $*"
    cp -- "$EXAMPLE_LISTING" "$CASE_DIR/hdat.out"
    printf 'not a listing\n' >"$CASE_DIR/other.out"
    run_program "$@"
    expect_example_run
    expect_bytes "$CASE_DIR/other.out" $'not a listing\n'
    expect_absent "$CASE_DIR/other.50"
}
arguments_case x
arguments_case --help
arguments_case -v --version
arguments_case other.out other.50
arguments_case "" "   " "two words"

new_case "CR LF listing reads like the LF listing"
sed 's/$/\r/' -- "$EXAMPLE_LISTING" >"$CASE_DIR/hdat.out"
run_program
expect_example_run

new_case "CR LF listing whose last line has no terminator"
sed 's/$/\r/' -- "$EXAMPLE_LISTING" | head -c -2 >"$CASE_DIR/hdat.out"
run_program
expect_example_run

new_case "older, longer fort.50 is replaced without trailing records"
cp -- "$EXAMPLE_LISTING" "$CASE_DIR/hdat.out"
old_vector_file "$CASE_DIR/fort.50"
run_program
expect_example_run

new_case "older fort.50 of the same size is overwritten"
cp -- "$EXAMPLE_LISTING" "$CASE_DIR/hdat.out"
tr -c '\n' 'z' <"$EXAMPLE_VECTORS" >"$CASE_DIR/fort.50"
run_program
expect_example_run

new_case "older fort.50 without any line terminator is replaced"
cp -- "$EXAMPLE_LISTING" "$CASE_DIR/hdat.out"
head -c 100000 /dev/zero >"$CASE_DIR/fort.50"
run_program
expect_example_run

new_case "environment is ignored"
cp -- "$EXAMPLE_LISTING" "$CASE_DIR/hdat.out"
run_wrapped env -i HOME=/nonexistent EIGPICK
expect_example_run

finish
