#!/usr/bin/env bash
# fort.50 and hdat.out reaching one file (links, /proc and /dev/std* names):
# the run stops when it opens fort.50, before a byte of the listing is
# overwritten.  Names that only look alike, and /dev/std* names of closed
# standard descriptors (which the program opens on /dev/null), run normally.
# Usage: same_file.sh EIGPICK SOURCE_DIR
# shellcheck source-path=SCRIPTDIR source=lib.sh
source "$(dirname -- "${BASH_SOURCE[0]}")/lib.sh"

SAME_FILE="$VECTORS 9: cannot open or create the file: it is the same file as hdat.out (unit 4)"

# expect_link NAME TARGET: CASE_DIR/NAME is still a symbolic link to TARGET.
expect_link() {
    if [[ ! -L $CASE_DIR/$1 || $(readlink -- "$CASE_DIR/$1") != "$2" ]]; then
        fail "$1 should still be a symbolic link to $2"
    fi
}

# ---- one file under two names ----------------------------------------------

new_case "fort.50 a symbolic link to hdat.out"
cp -- "$EXAMPLE_LISTING" "$CASE_DIR/hdat.out"
ln -s hdat.out "$CASE_DIR/fort.50"
run_program
expect_outcome 1 "$SAME_FILE"
expect_same_file "$CASE_DIR/hdat.out" "$EXAMPLE_LISTING"
expect_link fort.50 hdat.out

new_case "fort.50 a symbolic link to hdat.out by its absolute name"
cp -- "$EXAMPLE_LISTING" "$CASE_DIR/hdat.out"
ln -s "$CASE_DIR/hdat.out" "$CASE_DIR/fort.50"
run_program
expect_outcome 1 "$SAME_FILE"
expect_same_file "$CASE_DIR/hdat.out" "$EXAMPLE_LISTING"

new_case "hdat.out a symbolic link to fort.50, which holds the listing"
cp -- "$EXAMPLE_LISTING" "$CASE_DIR/fort.50"
ln -s fort.50 "$CASE_DIR/hdat.out"
run_program
expect_outcome 1 "$SAME_FILE"
expect_same_file "$CASE_DIR/fort.50" "$EXAMPLE_LISTING"
expect_link hdat.out fort.50

new_case "fort.50 a hard link to hdat.out"
cp -- "$EXAMPLE_LISTING" "$CASE_DIR/hdat.out"
ln -- "$CASE_DIR/hdat.out" "$CASE_DIR/fort.50"
run_program
expect_outcome 1 "$SAME_FILE"
expect_same_file "$CASE_DIR/hdat.out" "$EXAMPLE_LISTING"

new_case "both names symbolic links to a third file"
mkdir -- "$CASE_DIR/data"
cp -- "$EXAMPLE_LISTING" "$CASE_DIR/data/listing"
ln -s data/listing "$CASE_DIR/hdat.out"
ln -s "$CASE_DIR/data/listing" "$CASE_DIR/fort.50"
run_program
expect_outcome 1 "$SAME_FILE"
expect_same_file "$CASE_DIR/data/listing" "$EXAMPLE_LISTING"

# With descriptors 0-2 open and no others, hdat.out is the run's descriptor 3.
new_case "fort.50 a symbolic link to /proc/self/fd/3 (hdat.out's descriptor)"
cp -- "$EXAMPLE_LISTING" "$CASE_DIR/hdat.out"
ln -s /proc/self/fd/3 "$CASE_DIR/fort.50"
run_io /dev/null "" EIGPICK
expect_outcome 1 "$SAME_FILE"
expect_same_file "$CASE_DIR/hdat.out" "$EXAMPLE_LISTING"

new_case "both names symbolic links to /dev/stdin, a listing file"
cp -- "$EXAMPLE_LISTING" "$CASE_DIR/input"
ln -s /dev/stdin "$CASE_DIR/hdat.out"
ln -s /dev/stdin "$CASE_DIR/fort.50"
run_io "$CASE_DIR/input" "" EIGPICK
expect_outcome 1 "$SAME_FILE"
expect_same_file "$CASE_DIR/input" "$EXAMPLE_LISTING"

# hdat.out is created (empty) by its own open; fort.50 then reaches it.
new_case "fort.50 a symbolic link to an absent hdat.out"
ln -s hdat.out "$CASE_DIR/fort.50"
run_program
expect_outcome 1 "$SAME_FILE"
expect_empty_file "$CASE_DIR/hdat.out"
expect_link fort.50 hdat.out

# A FIFO is only opened when first read, but it is the same file all the
# same.  A writer offers the listing; it is stopped when the case ends.
new_case "fort.50 a symbolic link to hdat.out, a FIFO with a writer"
mkfifo -- "$CASE_DIR/hdat.out"
ln -s hdat.out "$CASE_DIR/fort.50"
background timeout 30 cp -- "$EXAMPLE_LISTING" hdat.out
run_wrapped timeout 20 EIGPICK
expect_outcome 1 "$SAME_FILE"
if [[ ! -p $CASE_DIR/hdat.out ]]; then fail "hdat.out should still be a FIFO"; fi
stop_background

# ---- names that do not reach one file ---------------------------------------

new_case "fort.50 a symbolic link to a copy of the listing"
cp -- "$EXAMPLE_LISTING" "$CASE_DIR/hdat.out"
cp -- "$EXAMPLE_LISTING" "$CASE_DIR/copy"
ln -s copy "$CASE_DIR/fort.50"
run_program
expect_outcome 0 ""
expect_same_file "$CASE_DIR/hdat.out" "$EXAMPLE_LISTING"
expect_same_file "$CASE_DIR/copy" "$EXAMPLE_VECTORS"

# A standard descriptor closed at start is opened on /dev/null before
# anything else, so hdat.out never takes its number and fort.50 reaches
# /dev/null through it.
for fd in 0 1 2; do
    name=$(echo "stdin stdout stderr" | cut -d' ' -f$((fd + 1)))
    new_case "fort.50 a symbolic link to /dev/$name, descriptor $fd closed"
    cp -- "$EXAMPLE_LISTING" "$CASE_DIR/hdat.out"
    ln -s "/dev/$name" "$CASE_DIR/fort.50"
    run_io /dev/null "$fd" EIGPICK
    expect_status 0
    expect_no_stdout
    expect_stderr ""
    expect_same_file "$CASE_DIR/hdat.out" "$EXAMPLE_LISTING"
    expect_link fort.50 "/dev/$name"
done

finish
