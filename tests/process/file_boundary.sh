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
row "the listing rewritten in place while it is read" 1 "$LISTING 74: the file changed while it was read" "fort.50=$BLOCK_A" \
    "cp hdat.out copy; (sleep 0.3; cat copy >hdat.out) &" "${TRACE[@]}" hdat.out -e inject=read:delay_enter=800000:when=1 EIGPICK
row "a FIFO listing's writer has its whole say" 0 "" "fort.50=$EXAMPLE_VECTORS" \
    "mv hdat.out listing; mkfifo hdat.out; (${DEFAULT_SIGNALS[*]} bash -c '{ cat listing; seq 100000; } >hdat.out'; echo \$? >peer) &" EIGPICK
expect_peer peer
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

new_case "fort.50 reaching the listing through an overlay's upper layer"
mkdir -- "$CASE_DIR"/{lower,upper,work,merged}
if mount -t overlay overlay -o "lowerdir=$CASE_DIR/lower,upperdir=$CASE_DIR/upper,workdir=$CASE_DIR/work" "$CASE_DIR/merged" 2>/dev/null; then
    cp -- "$EXAMPLE_LISTING" "$CASE_DIR/upper/hdat.out"
    ln -s "$CASE_DIR/upper/hdat.out" "$CASE_DIR/merged/fort.50"
    CASE_DIR=$CASE_DIR/merged run_program
    umount -- "$CASE_DIR/merged"
    expect_outcome 1 "$VECTORS 9: cannot open or create the file: it is the same file as hdat.out (unit 4)"
    expect_same_file "$CASE_DIR/upper/hdat.out" "$EXAMPLE_LISTING"
else
    echo "skipped: no overlay mount here (needs root)"
fi

finish
