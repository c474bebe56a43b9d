#!/usr/bin/env bash
# FIFOs (and devices) as hdat.out and fort.50.  A file that is not regular is
# opened in the direction of its first use: a FIFO hdat.out for reading, so
# that the run sees the end of file when its writer closes; a FIFO fort.50
# for writing, which waits for a reader, and whose reader may leave early.
# Every run is bounded by timeout; a hang shows as status 124.
# Usage: fifos.sh EIGPICK SOURCE_DIR
# shellcheck source-path=SCRIPTDIR source=lib.sh
source "$(dirname -- "${BASH_SOURCE[0]}")/lib.sh"

require_default_signals

# Seconds any one run, writer or reader may take; BOUNDED runs a command
# under that limit (and kills it 5 s later if it ignores the stop signal).
LIMIT=20
BOUNDED=(timeout -k 5 "$LIMIT")

expect_fifo() {
    if [[ ! -p $CASE_DIR/$1 ]]; then fail "$1 should still be a FIFO"; fi
}

# expect_helper_status WHAT: a reader of the case ended with status 0.
expect_helper_status() {
    if [[ $BACKGROUND_STATUS != 0 ]]; then
        fail "$1 ended with status $BACKGROUND_STATUS$(status_meaning "$BACKGROUND_STATUS")"
    fi
}

# ---- hdat.out a FIFO --------------------------------------------------------

# fifo_listing_case NAME COMMAND: hdat.out is a FIFO fed by COMMAND (a shell
# command writing on standard output), which is started before the run.
fifo_listing_case() {
    new_case "$1"
    mkfifo -- "$CASE_DIR/hdat.out"
    background "${BOUNDED[@]}" bash -c "{ $2; } >hdat.out"
    run_wrapped "${BOUNDED[@]}" EIGPICK
    if [[ $STATUS == 124 ]]; then
        fail "the run did not end within $LIMIT s of its start (its writer closes the FIFO at once)"
    fi
    expect_fifo hdat.out
    stop_background
}

fifo_listing_case "hdat.out a FIFO: ten short records, then the writer closes" \
    "seq -f 'short record %g' 10"
expect_outcome 1 "$LISTING 12: end of file after record 10 $NO_MARKER"
expect_empty_file "$CASE_DIR/fort.50"

fifo_listing_case "hdat.out a FIFO: the listing cut after record 70" \
    "head -n 70 -- '$EXAMPLE_LISTING'"
expect_outcome 1 "$LISTING 61: end of file after record 70 (the listing ends in the header of block B)"
expected_block_a_only
expect_same_file "$CASE_DIR/fort.50" "$EXPECTED_FILE"

fifo_listing_case "hdat.out a FIFO: the whole listing" \
    "cat -- '$EXAMPLE_LISTING'"
expect_outcome 0 ""
expect_same_file "$CASE_DIR/fort.50" "$EXAMPLE_VECTORS"

# Reads return what has arrived so far, cutting records (and the marker
# search) apart; only the writer's close is the end of the file.
fifo_listing_case "hdat.out a FIFO: the listing in three pieces with pauses" \
    "head -c 2000 -- '$EXAMPLE_LISTING'; sleep 0.3; head -c 3333 -- '$EXAMPLE_LISTING' | tail -c +2001; sleep 0.3; tail -c +3334 -- '$EXAMPLE_LISTING'"
expect_outcome 0 ""
expect_same_file "$CASE_DIR/fort.50" "$EXAMPLE_VECTORS"

# ---- fort.50 a FIFO ---------------------------------------------------------

new_case "fort.50 a FIFO whose reader is waiting before the run"
cp -- "$EXAMPLE_LISTING" "$CASE_DIR/hdat.out"
mkfifo -- "$CASE_DIR/fort.50"
background "${BOUNDED[@]}" bash -c 'exec cat fort.50 >received'
reader=$BACKGROUND_PID
sleep 0.5
run_wrapped "${BOUNDED[@]}" EIGPICK
expect_outcome 0 ""
wait_background "$reader"
expect_helper_status "the reader of fort.50"
expect_same_file "$CASE_DIR/received" "$EXAMPLE_VECTORS"
expect_same_file "$CASE_DIR/hdat.out" "$EXAMPLE_LISTING"
expect_fifo fort.50
stop_background

# The records wait in the run until a reader comes; none may be lost.
new_case "fort.50 a FIFO whose reader comes half a second after the run started"
cp -- "$EXAMPLE_LISTING" "$CASE_DIR/hdat.out"
mkfifo -- "$CASE_DIR/fort.50"
background "${BOUNDED[@]}" "${DEFAULT_SIGNALS[@]}" EIGPICK
program=$BACKGROUND_PID
sleep 0.5
reader_status=0
(cd -- "$CASE_DIR" && exec "${BOUNDED[@]}" cat fort.50) </dev/null >"$CASE_DIR/received" || reader_status=$?
if [[ $reader_status == 124 ]]; then
    fail "the reader of fort.50 saw no writer and no end of file within $LIMIT s (did the run write before anyone read?)"
fi
wait_background "$program"
STATUS=$BACKGROUND_STATUS
expect_outcome 0 ""
expect_same_file "$CASE_DIR/received" "$EXAMPLE_VECTORS"
expect_same_file "$CASE_DIR/hdat.out" "$EXAMPLE_LISTING"
expect_fifo fort.50
stop_background

new_case "both names FIFOs, a writer feeding hdat.out and a reader draining fort.50"
mkfifo -- "$CASE_DIR/hdat.out" "$CASE_DIR/fort.50"
background "${BOUNDED[@]}" cp -- "$EXAMPLE_LISTING" hdat.out
background "${BOUNDED[@]}" bash -c 'exec cat fort.50 >received'
reader=$BACKGROUND_PID
sleep 0.5
run_wrapped "${BOUNDED[@]}" EIGPICK
expect_outcome 0 ""
if [[ $STATUS != 124 ]]; then
    wait_background "$reader"
    expect_helper_status "the reader of fort.50"
    expect_same_file "$CASE_DIR/received" "$EXAMPLE_VECTORS"
fi
stop_background

# A reader that leaves after a few bytes: the run, with more to write than
# the pipe holds, must report the broken pipe (SIGPIPE is at its default).
# The reader shrinks the pipe to one page before the run starts, keeps it
# open for reading only, signals readiness by creating a file, then reads up
# to 10 bytes once data arrives and exits.  (Kernel pipe sizes: fcntl 1031 is
# F_SETPIPE_SZ.)
SHRINKING_READER=$SCRATCH/shrinking-reader.pl
cat >"$SHRINKING_READER" <<'PERL'
use strict;
use warnings;
use Fcntl qw(O_RDWR O_RDONLY O_NONBLOCK F_GETFL F_SETFL);
my ($fifo, $ready, $limit) = @ARGV;
my $F_SETPIPE_SZ = 1031;
# Opening for reading and writing never blocks on a FIFO.
sysopen(my $both, $fifo, O_RDWR) or die "open $fifo read-write: $!\n";
my $size = fcntl($both, $F_SETPIPE_SZ, 4096) or die "F_SETPIPE_SZ: $!\n";
$size == 4096 or die "pipe size $size, not 4096\n";
sysopen(my $in, $fifo, O_RDONLY | O_NONBLOCK) or die "open $fifo read-only: $!\n";
my $flags = fcntl($in, F_GETFL, 0) or die "F_GETFL: $!\n";
fcntl($in, F_SETFL, $flags & ~O_NONBLOCK) or die "F_SETFL: $!\n";
close($both);
open(my $mark, '>', $ready) or die "$ready: $!\n";
close($mark);
# While no writer has the FIFO open a read sees end of file at once (and
# poll reports a hang-up): read again until the first bytes arrive.
my $deadline = time + $limit;
while (1) {
    my $got = sysread($in, my $buffer, 10);
    defined($got) or die "read: $!\n";
    exit 0 if $got > 0;
    time < $deadline or die "no data within $limit s\n";
    select(undef, undef, undef, 0.01);
}
PERL

new_case "fort.50 a FIFO of one page whose reader leaves after a few bytes"
awk -v banner=300 -v rows=200 -f "$SOURCE_DIR/bench/make_listing.awk" >"$CASE_DIR/hdat.out"
cp -- "$CASE_DIR/hdat.out" "$SCRATCH/listing$CASE_COUNT"
mkfifo -- "$CASE_DIR/fort.50"
background "${BOUNDED[@]}" perl "$SHRINKING_READER" fort.50 ready "$LIMIT"
reader=$BACKGROUND_PID
for ((tries = 0; tries < 200; tries++)); do
    [[ -e $CASE_DIR/ready ]] && break
    sleep 0.05
done
if [[ ! -e $CASE_DIR/ready ]]; then
    fail "the shrinking reader did not get ready"
else
    run_wrapped "${BOUNDED[@]}" "${DEFAULT_SIGNALS[@]}" EIGPICK
    expect_status 1
    expect_no_stdout
    if [[ $(wc -l <"$STDERR_FILE") != 1 ]] ||
        ! grep -Eqx 'eigpick: fort\.50 \(unit 7\), statement line (50|52|53): cannot write the file: Broken pipe' "$STDERR_FILE"; then
        fail "standard error should be one line: $VECTORS 50, 52 or 53: cannot write the file: Broken pipe"
        printf '    actual:   %s\n' "$(head -c 2000 -- "$STDERR_FILE")"
    fi
    expect_same_file "$CASE_DIR/hdat.out" "$SCRATCH/listing$CASE_COUNT"
    expect_fifo fort.50
fi
wait_background "$reader"
expect_helper_status "the shrinking reader of fort.50"
stop_background

# ---- devices ------------------------------------------------------------------

new_case "fort.50 a symbolic link to /dev/null"
cp -- "$EXAMPLE_LISTING" "$CASE_DIR/hdat.out"
ln -s /dev/null "$CASE_DIR/fort.50"
run_wrapped "${BOUNDED[@]}" EIGPICK
expect_outcome 0 ""
expect_same_file "$CASE_DIR/hdat.out" "$EXAMPLE_LISTING"

new_case "hdat.out a symbolic link to /dev/null"
ln -s /dev/null "$CASE_DIR/hdat.out"
run_wrapped "${BOUNDED[@]}" EIGPICK
expect_outcome 1 "$LISTING 12: end of file: the file holds no records $NO_MARKER"
expect_empty_file "$CASE_DIR/fort.50"

finish
