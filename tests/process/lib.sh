# shellcheck shell=bash
# Shared helpers for the process tests of eigpick.
#
# A script sources this file with two arguments: the eigpick executable and
# the source tree.  Every case runs in its own fresh working directory below
# one scratch directory that is removed when the script exits.  Assertions
# print a message naming the case and carry on; `finish` ends the script with
# status 1 when any case failed.

set -u
export LC_ALL=C

if [[ $# -lt 2 ]]; then
    echo "usage: $0 EIGPICK SOURCE_DIR" >&2
    exit 2
fi

EIGPICK=$(realpath -- "$1")
SOURCE_DIR=$(realpath -- "$2")
EXAMPLE_LISTING=$SOURCE_DIR/examples/hdat.out
EXAMPLE_VECTORS=$SOURCE_DIR/examples/fort.50.expected

# Report lines of the two units begin with these words.
# shellcheck disable=SC2034
LISTING="eigpick: hdat.out (unit 4), statement line"
# shellcheck disable=SC2034
VECTORS="eigpick: fort.50 (unit 7), statement line"
# What the report adds when the marker search meets the end of the listing.
# shellcheck disable=SC2034
NO_MARKER='(no record holds "EIGE" in columns 17-20)'
# The report of a run in a directory without hdat.out.
# shellcheck disable=SC2034
ABSENT_LISTING="$LISTING 12: end of file: the file holds no records (the file did not exist: opening it created it empty)"

for needed in "$EIGPICK" "$EXAMPLE_LISTING" "$EXAMPLE_VECTORS"; do
    if [[ ! -e $needed ]]; then
        echo "missing: $needed" >&2
        exit 2
    fi
done

SCRATCH=$(mktemp -d "${TMPDIR:-/tmp}/eigpick-process.XXXXXX")
trap 'stop_background; chmod -R u+rwx "$SCRATCH" 2>/dev/null; rm -rf -- "$SCRATCH"' EXIT

CASE_COUNT=0
FAILED_COUNT=0
CASE_NAME=""
CASE_DIR=""
CASE_FAILED=0
STATUS=""
STDOUT_FILE=""
STDERR_FILE=""

# new_case NAME: starts a case with a fresh, empty working directory CASE_DIR.
new_case() {
    CASE_NAME=$1
    CASE_COUNT=$((CASE_COUNT + 1))
    CASE_FAILED=0
    CASE_DIR=$SCRATCH/case$CASE_COUNT
    mkdir -p -- "$CASE_DIR"
    STDOUT_FILE=$SCRATCH/case$CASE_COUNT.stdout
    STDERR_FILE=$SCRATCH/case$CASE_COUNT.stderr
    STATUS=""
}

# fail MESSAGE...: records a failure of the current case.
fail() {
    printf 'FAIL [%s]: %s\n' "$CASE_NAME" "$*"
    if [[ $CASE_FAILED -eq 0 ]]; then
        CASE_FAILED=1
        FAILED_COUNT=$((FAILED_COUNT + 1))
    fi
}

# run_program [ARGS...]: runs eigpick in CASE_DIR with no standard input,
# capturing stdout and stderr separately; the exit status goes to STATUS.
# shellcheck disable=SC2120 # most cases pass no arguments
run_program() {
    STATUS=0
    (cd -- "$CASE_DIR" && exec "$EIGPICK" "$@") </dev/null >"$STDOUT_FILE" 2>"$STDERR_FILE" || STATUS=$?
}

# run_wrapped COMMAND...: like run_program, but the command line is given in
# full; the word EIGPICK in it stands for the executable.
run_wrapped() {
    local -a words=()
    local word
    for word in "$@"; do
        if [[ $word == EIGPICK ]]; then words+=("$EIGPICK"); else words+=("$word"); fi
    done
    STATUS=0
    (cd -- "$CASE_DIR" && exec "${words[@]}") </dev/null >"$STDOUT_FILE" 2>"$STDERR_FILE" || STATUS=$?
}

# run_io INPUT CLOSED COMMAND...: like run_wrapped, with standard input read
# from INPUT, descriptors 3-9 closed (so that the program's first open gets
# the lowest free one), and the standard descriptors listed in CLOSED (e.g.
# "0 2", or "" for none) closed as well.  A closed standard output or error
# leaves STDOUT_FILE or STDERR_FILE empty.
run_io() {
    local input=$1 closed=" $2 " word
    shift 2
    local -a words=()
    for word in "$@"; do
        if [[ $word == EIGPICK ]]; then words+=("$EIGPICK"); else words+=("$word"); fi
    done
    : >"$STDOUT_FILE"
    : >"$STDERR_FILE"
    STATUS=0
    (
        cd -- "$CASE_DIR" || exit 125
        exec 3>&- 4>&- 5>&- 6>&- 7>&- 8>&- 9>&-
        exec <"$input" >"$STDOUT_FILE" 2>"$STDERR_FILE"
        if [[ $closed == *" 0 "* ]]; then exec 0<&-; fi
        if [[ $closed == *" 1 "* ]]; then exec 1>&-; fi
        if [[ $closed == *" 2 "* ]]; then exec 2>&-; fi
        exec "${words[@]}"
    ) || STATUS=$?
}

# Runs a command with SIGXFSZ and SIGPIPE at their default dispositions,
# whatever the test harness left ignored: a program that does not handle them
# itself is then killed, as it would be in a batch job.
DEFAULT_SIGNALS=(env "--default-signal=XFSZ,PIPE")

# require_default_signals: ends the script (status 2) when DEFAULT_SIGNALS
# fails to clear an inherited ignore of SIGXFSZ or SIGPIPE; the cases that
# rely on it would otherwise prove nothing.
# skip_for_sanitizers WHY: a script that cannot check a sanitizer build
# (EIGPICK_SANITIZED=1) skips itself, saying why.
skip_for_sanitizers() {
    if [[ ${EIGPICK_SANITIZED:-0} == 1 ]]; then
        echo "skipped: EIGPICK_SANITIZED=1 ($1)"
        exit 77
    fi
}

# require_tool NAME: a script that needs NAME skips itself without it.
require_tool() {
    if ! command -v "$1" >/dev/null; then
        echo "skipped: $1 not found"
        exit 77
    fi
}

require_default_signals() {
    local ignored
    ignored=$( (trap '' XFSZ PIPE && exec "${DEFAULT_SIGNALS[@]}" cat /proc/self/status) | sed -n 's/^SigIgn:[[:space:]]*//p')
    if [[ -z $ignored ]] || (((16#$ignored >> 24 & 1) || (16#$ignored >> 12 & 1))); then
        echo "cannot run a command with SIGXFSZ and SIGPIPE at their defaults (${DEFAULT_SIGNALS[*]}; SigIgn: ${ignored:-unknown})" >&2
        exit 2
    fi
}

# run_with_size_limit BYTES: runs eigpick under a file size limit of BYTES
# (as batch systems set one) with default signal dispositions.  Standard
# error goes through a pipe, out of reach of the limit; standard output is a
# file under the limit, large enough for any report line.
run_with_size_limit() {
    STATUS=0
    (cd -- "$CASE_DIR" && exec "${DEFAULT_SIGNALS[@]}" prlimit --fsize="$1" -- "$EIGPICK") \
        </dev/null 2>&1 >"$STDOUT_FILE" | cat >"$STDERR_FILE"
    STATUS=${PIPESTATUS[0]}
}

# ---- background helpers --------------------------------------------------
# Processes a case starts in the background (FIFO writers and readers) are
# recorded by id; stop_background ends those still running.
BACKGROUND_PIDS=()

# background COMMAND...: starts COMMAND in CASE_DIR in the background, with
# no standard input; its id goes to BACKGROUND_PID.  The word EIGPICK stands
# for the executable, whose output streams then go to STDOUT_FILE and
# STDERR_FILE.
BACKGROUND_PID=""
background() {
    local -a words=()
    local word runs_program=0
    for word in "$@"; do
        if [[ $word == EIGPICK ]]; then
            words+=("$EIGPICK")
            runs_program=1
        else
            words+=("$word")
        fi
    done
    if ((runs_program)); then
        (cd -- "$CASE_DIR" && exec "${words[@]}") </dev/null >"$STDOUT_FILE" 2>"$STDERR_FILE" &
    else
        (cd -- "$CASE_DIR" && exec "${words[@]}") </dev/null &
    fi
    BACKGROUND_PID=$!
    BACKGROUND_PIDS+=("$BACKGROUND_PID")
}

# wait_background PID: waits for a background process of the case; its exit
# status goes to BACKGROUND_STATUS.
BACKGROUND_STATUS=""
# shellcheck disable=SC2034 # BACKGROUND_STATUS is read by the scripts
wait_background() {
    local pid
    local -a others=()
    BACKGROUND_STATUS=0
    wait "$1" || BACKGROUND_STATUS=$?
    for pid in "${BACKGROUND_PIDS[@]}"; do
        if [[ $pid != "$1" ]]; then others+=("$pid"); fi
    done
    BACKGROUND_PIDS=("${others[@]}")
}

stop_background() {
    local pid
    for pid in "${BACKGROUND_PIDS[@]}"; do
        kill -- "$pid" 2>/dev/null
        wait "$pid" 2>/dev/null
    done
    BACKGROUND_PIDS=()
}

# show FILE: a readable rendering of a file's bytes for failure messages.
show() {
    if [[ ! -e $1 ]]; then
        echo "    (no file)"
    elif [[ ! -s $1 ]]; then
        echo "    (empty)"
    else
        head -c 2000 -- "$1" | od -An -c | head -n 20 | sed 's/^/    /'
    fi
}

expect_status() {
    if [[ $STATUS != "$1" ]]; then
        fail "exit status: expected $1, got $STATUS$(status_meaning "$STATUS")"
    fi
}

# status_meaning STATUS: a note on statuses the program itself never uses.
status_meaning() {
    if [[ $1 == 124 ]]; then
        printf ' (124: stopped by timeout, the run hung)'
    elif [[ $1 =~ ^[0-9]+$ ]] && (($1 > 128 && $1 < 160)); then
        printf ' (killed by signal SIG%s)' "$(kill -l "$(($1 - 128))" 2>/dev/null || echo "$(($1 - 128))")"
    fi
}

expect_no_stdout() {
    if [[ -s $STDOUT_FILE ]]; then
        fail "standard output should be empty, it holds:"
        show "$STDOUT_FILE"
    fi
}

# expect_stderr LINE: standard error holds exactly LINE and a newline; an
# empty LINE means standard error must be empty.
expect_stderr() {
    local expected=$1
    if [[ -z $expected ]]; then
        if [[ -s $STDERR_FILE ]]; then
            fail "standard error should be empty, it holds:"
            show "$STDERR_FILE"
        fi
    elif ! printf '%s\n' "$expected" | cmp -s - "$STDERR_FILE"; then
        fail "standard error differs"
        printf '    expected: %s\n' "$expected"
        printf '    actual:   %s\n' "$(head -c 2000 -- "$STDERR_FILE")"
        if [[ $(wc -l <"$STDERR_FILE") -ne 1 ]]; then
            echo "    (actual holds $(wc -l <"$STDERR_FILE") newline characters)"
        fi
    fi
}

# expect_same_file ACTUAL EXPECTED: byte-for-byte equality.
expect_same_file() {
    local actual=$1 expected=$2
    if [[ ! -f $actual ]]; then
        fail "$(basename -- "$actual") should be a regular file, but it is missing or not a file"
    elif ! cmp -s -- "$actual" "$expected"; then
        fail "$(basename -- "$actual") differs from the expected bytes (diff expected actual):"
        diff -a -- "$expected" "$actual" | head -n 20 | sed 's/^/    /'
        echo "    sizes: expected $(wc -c <"$expected"), actual $(wc -c <"$actual")"
    fi
}

# expect_bytes FILE TEXT: FILE holds exactly TEXT (printf %s, no newline added).
expect_bytes() {
    local want=$SCRATCH/want.$$
    printf '%s' "$2" >"$want"
    expect_same_file "$1" "$want"
    rm -f -- "$want"
}

expect_empty_file() {
    if [[ ! -f $1 ]]; then
        fail "$(basename -- "$1") should exist as an empty file, but it is missing or not a file"
    elif [[ -s $1 ]]; then
        fail "$(basename -- "$1") should be empty, it holds:"
        show "$1"
    fi
}

expect_absent() {
    if [[ -e $1 || -L $1 ]]; then
        fail "$(basename -- "$1") should not exist"
    fi
}

# expect_outcome STATUS STDERR_LINE: the common checks after a run.
expect_outcome() {
    expect_status "$1"
    expect_no_stdout
    expect_stderr "$2"
}

# finish: prints a summary and ends the script.
finish() {
    if [[ $FAILED_COUNT -gt 0 ]]; then
        echo "$FAILED_COUNT of $CASE_COUNT cases failed"
        exit 1
    fi
    echo "all $CASE_COUNT cases passed"
    exit 0
}

# ---- building listings -------------------------------------------------

# xs N: N letters x, a field or record of a given width.
xs() { printf '%*s' "$1" "" | tr ' ' x; }

# first_records FILE K: the first K records (lines) of FILE.
first_records() {
    head -n "$2" -- "$1"
}

# replace_columns SOURCE DEST RECORD COLUMN TEXT: copies SOURCE to DEST with
# the characters of record RECORD from column COLUMN on replaced by TEXT
# (backslash escapes of printf %b allowed, e.g. \0 for a NUL byte).  A record
# shorter than COLUMN - 1 is first padded with blanks.
replace_columns() {
    local source=$1 dest=$2 record=$3 column=$4 text=$5
    local line width
    line=$(sed -n "${record}p" -- "$source")
    while [[ ${#line} -lt $((column - 1)) ]]; do line+=" "; done
    width=$(printf '%b' "$text" | wc -c)
    {
        head -n $((record - 1)) -- "$source"
        printf '%s' "${line:0:column-1}"
        printf '%b' "$text"
        printf '%s\n' "${line:column-1+width}"
        tail -n +$((record + 1)) -- "$source"
    } >"$dest"
}

# listing_with COLUMN_EDITS...: writes CASE_DIR/hdat.out as the example with
# edits applied; each edit is three words RECORD COLUMN TEXT.
listing_with() {
    local current=$SCRATCH/listing.$$ next=$SCRATCH/listing-next.$$
    cp -- "$EXAMPLE_LISTING" "$current"
    while [[ $# -ge 3 ]]; do
        replace_columns "$current" "$next" "$1" "$2" "$3"
        mv -- "$next" "$current"
        shift 3
    done
    mv -- "$current" "$CASE_DIR/hdat.out"
}

# ---- expected vector files ----------------------------------------------
# With the example's N = 18 each of the ten sections of fort.50 has five
# records: two empty ones, the header, and two coefficient records (12 + 6).

# vector_value_place SECTION POSITION: prints "RECORD COLUMN" of value
# POSITION (1-18, output order) of section SECTION (1-10).
vector_value_place() {
    local section=$1 position=$2
    echo "$((5 + 5 * (section - 1) + (position - 1) / 12)) $((10 * ((position - 1) % 12) + 1))"
}

# header_record SECTION: the record number of a section's header.
header_record() {
    echo $((4 + 5 * ($1 - 1)))
}

# expected_with EDITS...: writes SCRATCH/expected as the expected vector file
# of the example with edits applied, each three words RECORD COLUMN TEXT.
EXPECTED_FILE=""
expected_with() {
    EXPECTED_FILE=$SCRATCH/expected$CASE_COUNT
    local next=$SCRATCH/expected-next.$$
    cp -- "$EXAMPLE_VECTORS" "$EXPECTED_FILE"
    while [[ $# -ge 3 ]]; do
        replace_columns "$EXPECTED_FILE" "$next" "$1" "$2" "$3"
        mv -- "$next" "$EXPECTED_FILE"
        shift 3
    done
}

# Records of fort.50 that a run has written once block A is done: the count
# record and four sections.
BLOCK_A_RECORDS=21

# expected_block_a_only: SCRATCH file holding the first 21 expected records.
expected_block_a_only() {
    EXPECTED_FILE=$SCRATCH/expected$CASE_COUNT
    first_records "$EXAMPLE_VECTORS" "$BLOCK_A_RECORDS" >"$EXPECTED_FILE"
}

# old_vector_file PATH: a stale fort.50 from an earlier run (5000 records),
# larger than any output of the example.  OLD_VECTORS keeps a pristine copy.
OLD_VECTORS=$SCRATCH/old-vectors
seq -f 'old record %g of an earlier run, never to survive a write' 5000 >"$OLD_VECTORS"
old_vector_file() {
    cp -- "$OLD_VECTORS" "$1"
}
