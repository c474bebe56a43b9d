#!/usr/bin/env bash
# A report reaches standard error in a single write(2), the line and its
# newline together, so that reports of runs sharing one log never interleave.
# The program's system calls are traced with strace.
# Usage: report_write.sh EIGPICK SOURCE_DIR
# Exits 77 (skipped) when strace is missing or cannot trace here, and for
# sanitizer builds (EIGPICK_SANITIZED=1), whose leak check cannot run traced.
# shellcheck source-path=SCRIPTDIR source=lib.sh
source "$(dirname -- "${BASH_SOURCE[0]}")/lib.sh"

skip_for_sanitizers "the leak check of sanitizer builds fails under a tracer"
require_tool strace
if ! strace -o /dev/null true 2>/dev/null; then
    echo "skipped: strace cannot trace processes here"
    exit 77
fi

# strace_string TEXT: TEXT as strace quotes it (backslash, quote, newline).
strace_string() {
    local text=${1//\\/\\\\}
    text=${text//\"/\\\"}
    printf '"%s\\n"' "$text"
}

# one_write_case REPORT: the case's files are set up; the run must end
# with status 1 and REPORT, written to descriptor 2 by one whole write.
one_write_case() {
    local report=$1 log=$SCRATCH/trace$CASE_COUNT expected calls length
    run_wrapped strace -f -s 4096 -e trace=write,writev,pwrite64,pwritev,pwritev2 -o "$log" -- EIGPICK
    expect_outcome 1 "$report"
    calls=$(grep -E '^([0-9]+ +)?(write|writev|pwrite64|pwritev|pwritev2)\(2,' "$log")
    length=$(($(printf '%s\n' "$report" | wc -c)))
    expected="write(2, $(strace_string "$report"), $length) = $length"
    if [[ -z $calls ]]; then
        fail "no write to descriptor 2 was traced"
    elif [[ $(printf '%s\n' "$calls" | wc -l) -ne 1 ]]; then
        fail "the report took $(printf '%s\n' "$calls" | wc -l) system calls on descriptor 2, not one:"
        printf '%s\n' "$calls" | head -n 10 | sed 's/^/    /'
    elif [[ $(sed -E 's/^[0-9]+ +//; s/\) += /) = /' <<<"$calls") != "$expected" ]]; then
        fail "the one call on descriptor 2 is not the whole report line:"
        printf '    expected: %s\n    traced:   %s\n' "$expected" "$calls"
    fi
}

new_case "no hdat.out: the search report"
one_write_case "$ABSENT_LISTING"

new_case "bad field: a report quoting the field"
listing_with 90 12 '0.1x    '
one_write_case "$LISTING 74, record 90, columns 12-19: bad real field \"0.1x    \""

new_case "hdat.out a directory: an open report"
mkdir -- "$CASE_DIR/hdat.out"
one_write_case "$LISTING 8: cannot open or create the file: Is a directory"

new_case "fort.50 on a full device: a write report"
cp -- "$EXAMPLE_LISTING" "$CASE_DIR/hdat.out"
ln -s /dev/full "$CASE_DIR/fort.50"
one_write_case "$VECTORS 50: cannot write the file: No space left on device"

finish
