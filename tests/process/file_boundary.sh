#!/usr/bin/env bash
# The files the run does not own: the listing is only ever opened to be read,
# failures of the system are reported at the statement that met them, fort.50
# is replaced but never spliced, one run writes it at a time, and the peers of
# FIFOs are released.  Each row starts from the example listing and an old
# fort.50 and gives the exit status, the one report line and the bytes of the
# file it writes; the listing must be as it was.
# Usage: file_boundary.sh EIGPICK SOURCE_DIR
# shellcheck source-path=SCRIPTDIR source=lib.sh
source "$(dirname -- "${BASH_SOURCE[0]}")/lib.sh"

require_default_signals
# TRACE NAME OPTIONS... EIGPICK: strace with OPTIONS, counting and injecting
# only the system calls on the file NAME, which must exist when it starts, and
# saying nothing of its own.
TRACE=(strace -f --quiet=all -o trace -P)
BLOCK_A=$SCRATCH/block-a
first_records "$EXAMPLE_VECTORS" "$BLOCK_A_RECORDS" >"$BLOCK_A"
NOT_FOUND=$SCRATCH/not-found
echo "Eigenvectors are not found" >"$NOT_FOUND"

# Sanitizer builds are not traced.
can_trace() { [[ ${EIGPICK_SANITIZED:-0} != 1 ]] && command -v strace >/dev/null; }

# row NAME STATUS REPORT FILE=EXPECTED SETUP COMMAND...: SETUP (shell, in
# CASE_DIR) prepares the case, COMMAND runs it (EIGPICK stands for the
# program); FILE must then hold EXPECTED's bytes, and hdat.out, where it is a
# file, the bytes SETUP left in it.  Rows that need strace skip themselves in a
# sanitizer build.
row() {
    local name=$1 status=$2 report=$3 file=${4%%=*} expected=${4#*=} setup=$5
    shift 5
    if [[ $* == *strace* ]] && ! can_trace || ! command -v "${1/EIGPICK/true}" >/dev/null; then
        echo "skipped: $name (no $1, or a sanitizer build)"
        return 1
    fi
    new_case "$name"
    cp -- "$EXAMPLE_LISTING" "$CASE_DIR/hdat.out"
    old_vector_file "$CASE_DIR/fort.50"
    (cd -- "$CASE_DIR" && eval "$setup") || fail "setup failed"
    if [[ -f $CASE_DIR/hdat.out ]]; then cp -- "$CASE_DIR/hdat.out" "$SCRATCH/listing$CASE_COUNT"; fi
    run_wrapped timeout -k 5 20 "${DEFAULT_SIGNALS[@]}" "$@"
    expect_outcome "$status" "$report"
    expect_same_file "$CASE_DIR/$file" "$expected"
    if [[ -f $CASE_DIR/hdat.out ]]; then expect_same_file "$CASE_DIR/hdat.out" "$SCRATCH/listing$CASE_COUNT"; fi
}

# expect_peer FILE: the FIFO peer of the case wrote its exit status 0 to FILE.
expect_peer() {
    for ((tries = 0; tries < 100; tries++)); do [[ -s $CASE_DIR/$1 ]] && break; sleep 0.2; done
    [[ $(cat -- "$CASE_DIR/$1" 2>/dev/null) == 0 ]] || fail "the FIFO's peer ended with status $(cat -- "$CASE_DIR/$1" 2>/dev/null)"
}

if row "the listing is opened for reading only" 0 "" "fort.50=$EXAMPLE_VECTORS" "" "${TRACE[@]}" hdat.out -e trace=openat EIGPICK &&
    { ! grep -q '"hdat.out", O_RDONLY' "$CASE_DIR/trace" || grep -E '"hdat.out", O_(WRONLY|RDWR)' "$CASE_DIR/trace"; }; then
    fail "hdat.out must be opened read-only, and only so"
fi
row "an interrupted open is tried again" 0 "" "fort.50=$EXAMPLE_VECTORS" "" "${TRACE[@]}" hdat.out -e inject=openat:error=EINTR:when=1 EIGPICK
row "fort.50 out of descriptors at its open" 1 "$VECTORS 9: cannot open or create the file: Too many open files" \
    "fort.50=$OLD_VECTORS" "" "${TRACE[@]}" fort.50 -e inject=openat:error=EMFILE EIGPICK
row "fort.50 cannot be cut before the first write" 1 "$VECTORS 50: cannot write the file: Input/output error" \
    "fort.50=$OLD_VECTORS" "" "${TRACE[@]}" fort.50 -e inject=ftruncate:error=EIO:when=1 EIGPICK
row "a write that takes no bytes" 1 "$VECTORS 50: cannot write the file: the system accepted no bytes" \
    fort.50=/dev/null "" "${TRACE[@]}" fort.50 -e inject=write:retval=0:when=1 EIGPICK
head -c 100 "$EXAMPLE_VECTORS" >"$SCRATCH/first-100"
row "a size limit inside a record, and the cut back refused" 1 "$VECTORS 53: cannot write the file: File too large (cutting the file back to its last whole record failed: Input/output error; it may end inside a record)" \
    "fort.50=$SCRATCH/first-100" "" "${TRACE[@]}" fort.50 -e inject=ftruncate:error=EIO:when=2 \
    bash -c 'set -o pipefail; prlimit --fsize=100 "$0" 2>&1 | cat >&2' EIGPICK
row "the listing rewritten in place while it is read" 1 "$LISTING 25: the file changed while it was read" "fort.50=$OLD_VECTORS" \
    "cp hdat.out copy; (sleep 0.3; cat copy >hdat.out) &" "${TRACE[@]}" hdat.out -e inject=read:delay_enter=800000:when=1 EIGPICK
row "the listing's mode changed while it is read" 1 "$LISTING 25: the file changed while it was read" "fort.50=$OLD_VECTORS" \
    "(sleep 0.3; chmod 600 hdat.out) &" "${TRACE[@]}" hdat.out -e inject=read:delay_enter=800000:when=1 EIGPICK
row "a dangling link as the listing" 1 "$LISTING 8: cannot open or create the file: it is a symbolic link to \"../outside\", which does not exist" \
    "fort.50=$OLD_VECTORS" "rm hdat.out; ln -s ../outside hdat.out" EIGPICK
expect_absent "$SCRATCH/outside"
row "standard output reading fort.50" 0 "" "fort.50=$EXAMPLE_VECTORS" "" bash -c 'exec "$0" 1<fort.50' EIGPICK
row "a FIFO listing's writer has its whole say" 0 "" "fort.50=$EXAMPLE_VECTORS" \
    "mv hdat.out listing; mkfifo hdat.out; (${DEFAULT_SIGNALS[*]} bash -c '{ cat listing; seq 100000; } >hdat.out'; echo \$? >peer) &" EIGPICK
expect_peer peer
# A writer that keeps the FIFO open after the listing: fort.50 is complete,
# and a report written, long before the writer lets the run end.
row "a FIFO listing's lingering writer holds back no output" 137 "" "fort.50=$EXAMPLE_VECTORS" \
    "mv hdat.out listing; mkfifo hdat.out; (exec bash -c '{ cat listing; sleep 5; } >hdat.out' &)" timeout --foreground -s KILL 2 EIGPICK
row "a FIFO listing's lingering writer holds back no report" 137 "$LISTING 74, record 90, columns 12-19: bad real field \"0.1x    \"" "fort.50=$BLOCK_A" \
    "replace_columns hdat.out listing 90 12 '0.1x    '; rm hdat.out; mkfifo hdat.out; (exec bash -c '{ cat listing; sleep 5; } >hdat.out' &)" timeout --foreground -s KILL 2 EIGPICK
row "a FIFO fort.50's reader sees its end when the run fails early" 1 "$LISTING 12: end of file after record 30 $NO_MARKER" \
    read=/dev/null "head -n 30 hdat.out >cut; mv cut hdat.out; rm fort.50; mkfifo fort.50; (timeout 20 cat fort.50 >read; echo \$? >peer) &" EIGPICK
expect_peer peer
row "a FIFO listing's writer is released when fort.50 cannot open" 1 "$VECTORS 9: cannot open or create the file: Is a directory" \
    listing="$EXAMPLE_LISTING" "mv hdat.out listing; mkfifo hdat.out; rm fort.50; mkdir fort.50; (timeout 20 cp listing hdat.out; echo \$? >peer) &" EIGPICK
expect_peer peer
printf 'earlier\n' | cat - "$EXAMPLE_VECTORS" >"$SCRATCH/collection"
row "fort.50 standard output appended to a collection" 0 "" "all=$SCRATCH/collection" "ln -sf /dev/stdout fort.50; echo earlier >all" \
    bash -c 'exec "$0" >>all' EIGPICK
row "a stack of 64 KiB" 0 "" "fort.50=$EXAMPLE_VECTORS" "" bash -c 'ulimit -s 64 && exec "$0"' EIGPICK

# Two runs at once, the listing renamed over between them, the second started
# between the first's two hand-overs of records: it waits for the first to end,
# then replaces its output whole.
if can_trace; then
new_case "two runs on different listings leave one run's whole output"
cp -- "$EXAMPLE_LISTING" "$CASE_DIR/hdat.out"
old_vector_file "$CASE_DIR/fort.50"
seq -f 'banner %g' 600 >"$CASE_DIR/other"
(cd -- "$CASE_DIR" && exec "${TRACE[@]}" fort.50 -e inject=write:delay_enter=600000 "$EIGPICK") </dev/null >/dev/null 2>&1 &
first=$!
sleep 0.8
mv -- "$CASE_DIR/other" "$CASE_DIR/hdat.out"
run_program
wait "$first"
expect_outcome 0 ""
cmp -s "$CASE_DIR/fort.50" "$NOT_FOUND" || expect_same_file "$CASE_DIR/fort.50" "$EXAMPLE_VECTORS"
fi

# Two runs of a job started twice: the second waits for fort.50's lock while
# the job puts an identical listing in place by rename; the file the second
# run reads is the old one, its bytes intact.
if can_trace; then
new_case "the listing renamed over while a second run waits for the lock"
cp -- "$EXAMPLE_LISTING" "$CASE_DIR/hdat.out"
old_vector_file "$CASE_DIR/fort.50"
(cd -- "$CASE_DIR" && exec "${TRACE[@]}" fort.50 -e inject=write:delay_enter=700000 "$EIGPICK") </dev/null >/dev/null 2>&1 &
first=$!
sleep 0.3
(cd -- "$CASE_DIR" && exec "$EIGPICK") </dev/null >"$STDOUT_FILE" 2>"$STDERR_FILE" &
second=$!
sleep 0.3
cp -- "$CASE_DIR/hdat.out" "$CASE_DIR/renamed" && mv -- "$CASE_DIR/renamed" "$CASE_DIR/hdat.out"
wait "$first"
STATUS=0
wait "$second" || STATUS=$?
expect_outcome 0 ""
expect_same_file "$CASE_DIR/fort.50" "$EXAMPLE_VECTORS"
fi

# Runs as root only: the job and its log on two fresh tmpfs mounts, as batch
# systems give each job, where new files get the same inode numbers and times.
new_case "fort.50 and standard output on two fresh file systems"
mkdir -- "$CASE_DIR"/{job,logs}
if mount -t tmpfs tmpfs "$CASE_DIR/job" 2>/dev/null; then
    if mount -t tmpfs tmpfs "$CASE_DIR/logs"; then
        mkdir -- "$CASE_DIR/logs/run"
        cp -- "$EXAMPLE_LISTING" "$CASE_DIR/job/hdat.out"
        touch -- "$CASE_DIR/job/fort.50" "$CASE_DIR/logs/run/eigpick.log"
        run_wrapped bash -c 'cd job && exec "$0" >>../logs/run/eigpick.log' EIGPICK
        expect_outcome 0 ""
        expect_same_file "$CASE_DIR/job/fort.50" "$EXAMPLE_VECTORS"
        expect_empty_file "$CASE_DIR/logs/run/eigpick.log"
        umount -- "$CASE_DIR/logs"
    fi
    umount -- "$CASE_DIR/job"
else
    echo "skipped: $CASE_NAME (no tmpfs mount here: needs root)"
fi

# overlay_alias NAME SETUP LISTING_PATH: runs in an overlay mount whose
# directories "lower", "upper layer" (a blank in its name, as the mount table
# escapes it), "work" and "merged" SETUP (shell, in the case directory) fills;
# fort.50 must be refused as hdat.out's file, and LISTING_PATH must still hold
# the listing.
overlay_alias() {
    local name=$1 setup=$2 listing_path=$3
    new_case "$name"
    mkdir -- "$CASE_DIR"/{lower,"upper layer",work,merged}
    if ! mount -t overlay overlay -o "lowerdir=$CASE_DIR/lower,upperdir=$CASE_DIR/upper layer,workdir=$CASE_DIR/work" "$CASE_DIR/merged" 2>/dev/null; then
        echo "skipped: $name (no overlay mount here: needs root)"
        return
    fi
    (cd -- "$CASE_DIR" && eval "$setup") || fail "setup failed"
    CASE_DIR=$CASE_DIR/merged run_program
    expect_same_file "$CASE_DIR/$listing_path" "$EXAMPLE_LISTING"
    umount -- "$CASE_DIR/merged"
    expect_outcome 1 "$VECTORS 9: cannot open or create the file: it is the same file as hdat.out (unit 4)"
}

overlay_alias "fort.50 reaching the listing through an overlay's upper layer" \
    'cp -- "$EXAMPLE_LISTING" upper\ layer/hdat.out; ln -s "$PWD/upper layer/hdat.out" merged/fort.50' upper\ layer/hdat.out
# A file of the lower layer touched through the overlay is copied up: the
# overlay still shows the lower file's inode number, the layer its own.
overlay_alias "fort.50 reaching a copied-up listing through the upper layer" \
    'cp -- "$EXAMPLE_LISTING" lower/hdat.out; touch merged/hdat.out; ln -s "$PWD/upper layer/hdat.out" merged/fort.50' merged/hdat.out
overlay_alias "the listing reaching a copied-up fort.50 through the upper layer" \
    'cp -- "$EXAMPLE_LISTING" lower/fort.50; touch merged/fort.50; ln -s "$PWD/upper layer/fort.50" merged/hdat.out' merged/fort.50
overlay_alias "fort.50 reaching the listing in the lower layer" \
    'cp -- "$EXAMPLE_LISTING" lower/hdat.out; ln -s "$PWD/lower/hdat.out" merged/fort.50' lower/hdat.out

finish
