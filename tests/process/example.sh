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

# Runs started at once in one directory, over an older, longer fort.50: each
# opens it without truncating and cuts it after its own first statement, so a
# run that ends may see another still writing, but every run succeeds and the
# file they leave is the one a single run writes. A listing of 200 rows gives
# each run fifty statements in which to overlap.
new_case "four runs at once in one directory, twenty times"
awk -v banner=300 -v rows=200 -f "$SOURCE_DIR/bench/make_listing.awk" >"$CASE_DIR/hdat.out"
run_program
expect_outcome 0 ""
single_run=$SCRATCH/single-run.fort.50
cp -- "$CASE_DIR/fort.50" "$single_run"
for ((round = 1; round <= 20; round++)); do
    old_vector_file "$CASE_DIR/fort.50"
    cat -- "$single_run" "$single_run" >>"$CASE_DIR/fort.50"
    statuses=""
    pids=()
    for ((run = 1; run <= 4; run++)); do
        (cd -- "$CASE_DIR" && exec "$EIGPICK") </dev/null >>"$STDOUT_FILE" 2>>"$STDERR_FILE" &
        pids+=($!)
    done
    for pid in "${pids[@]}"; do
        wait "$pid"
        statuses+="$? "
    done
    if [[ $statuses != "0 0 0 0 " ]]; then fail "round $round: exit statuses $statuses"; fi
    expect_same_file "$CASE_DIR/fort.50" "$single_run"
done
expect_no_stdout
expect_stderr ""

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
arguments_case --help x
arguments_case --version --help
arguments_case -v --version
arguments_case --HELP
arguments_case -h x
arguments_case other.out other.50
arguments_case "" "   " "two words"

# -h, --help or --version alone answers on standard output and opens no file: the
# listing and an older fort.50 stay as they are, and nothing is created.
answer_case() {
    local argument=$1 pattern=$2 files
    for files in both none; do
        new_case "$argument alone, files: $files"
        if [[ $files == both ]]; then
            cp -- "$EXAMPLE_LISTING" "$CASE_DIR/hdat.out"
            old_vector_file "$CASE_DIR/fort.50"
        fi
        run_program "$argument"
        expect_status 0
        expect_stderr ""
        if ! grep -Eq -- "$pattern" "$STDOUT_FILE"; then
            fail "standard output does not match $pattern:"
            show "$STDOUT_FILE"
        fi
        if [[ $files == both ]]; then
            expect_same_file "$CASE_DIR/hdat.out" "$EXAMPLE_LISTING"
            expect_same_file "$CASE_DIR/fort.50" "$OLD_VECTORS"
        else
            expect_absent "$CASE_DIR/hdat.out"
            expect_absent "$CASE_DIR/fort.50"
        fi
    done
}
answer_case --help '^Usage: eigpick$'
answer_case -h '^Usage: eigpick$'
answer_case --version '^eigpick [0-9]+[.][0-9]+[.][0-9]+$'

new_case "--help to a full device fails, saying so"
(cd "$CASE_DIR" && "$EIGPICK" --help >/dev/full 2>"$STDERR_FILE" </dev/null)
STATUS=$?
expect_status 1
expect_stderr "eigpick: cannot write to standard output: No space left on device"
expect_absent "$CASE_DIR/fort.50"

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
