#!/usr/bin/env bash
# File and directory permissions that refuse the program, seen by an
# unprivileged user (root would be let through).  Run as root, the script runs
# the program as nobody:nogroup with setpriv and gives each case directory to
# that user; otherwise it runs the program directly.
# Usage: permissions.sh EIGPICK SOURCE_DIR
# Exits 77 (skipped) when no unprivileged user can be had, or when the one
# running can read a file of mode 000 all the same.
# shellcheck source-path=SCRIPTDIR source=lib.sh
source "$(dirname -- "${BASH_SOURCE[0]}")/lib.sh"

AS_USER=()
if [[ $(id -u) -eq 0 ]]; then
    if ! command -v setpriv >/dev/null || ! id nobody >/dev/null 2>&1 || ! getent group nogroup >/dev/null; then
        echo "skipped: running as root without setpriv or the user nobody:nogroup"
        exit 77
    fi
    AS_USER=(setpriv --reuid=nobody --regid=nogroup --clear-groups --)
    chmod 711 "$SCRATCH"
fi

# hand_over: gives CASE_DIR and everything in it to the user the program runs
# as (nothing to do when that is the one running the script).
hand_over() {
    if ((${#AS_USER[@]} > 0)); then
        chown -R nobody:nogroup "$CASE_DIR"
    fi
}

# run_as_user: runs eigpick in CASE_DIR as the unprivileged user.
run_as_user() {
    run_wrapped "${AS_USER[@]}" EIGPICK
}

# The user must be able to run the program in a directory of its own, and
# must be refused a file of mode 000.
new_case "probe: the unprivileged user runs the program, and mode 000 refuses it"
cp -- "$EXAMPLE_LISTING" "$CASE_DIR/hdat.out"
: >"$CASE_DIR/closed"
chmod 000 "$CASE_DIR/closed"
hand_over
run_as_user
if [[ $STATUS != 0 || ! -f $CASE_DIR/fort.50 ]]; then
    echo "skipped: the unprivileged user cannot run $EIGPICK in a case directory (status $STATUS)"
    exit 77
fi
if (cd -- "$CASE_DIR" && exec "${AS_USER[@]}" cat closed) </dev/null >/dev/null 2>&1; then
    echo "skipped: the unprivileged user can read a file of mode 000"
    exit 77
fi

# expect_kept FILE EXPECTED: FILE holds EXPECTED's bytes; a FILE its owner
# may not read is made readable to be compared.
expect_kept() {
    if [[ ! -r $1 ]]; then chmod u+r -- "$1"; fi
    expect_same_file "$1" "$2"
}

new_case "hdat.out of mode 000"
cp -- "$EXAMPLE_LISTING" "$CASE_DIR/hdat.out"
chmod 000 "$CASE_DIR/hdat.out"
hand_over
run_as_user
expect_outcome 1 "$LISTING 8: cannot open or create the file: Permission denied"
expect_absent "$CASE_DIR/fort.50"
expect_kept "$CASE_DIR/hdat.out" "$EXAMPLE_LISTING"

new_case "no hdat.out in a directory of mode 555"
hand_over
chmod 555 "$CASE_DIR"
run_as_user
chmod 755 "$CASE_DIR"
expect_outcome 1 "$LISTING 8: cannot open or create the file: Permission denied"
expect_absent "$CASE_DIR/hdat.out"
expect_absent "$CASE_DIR/fort.50"

new_case "no fort.50 in a directory of mode 555"
cp -- "$EXAMPLE_LISTING" "$CASE_DIR/hdat.out"
hand_over
chmod 555 "$CASE_DIR"
run_as_user
chmod 755 "$CASE_DIR"
expect_outcome 1 "$VECTORS 9: cannot open or create the file: Permission denied"
expect_absent "$CASE_DIR/fort.50"
expect_same_file "$CASE_DIR/hdat.out" "$EXAMPLE_LISTING"

new_case "fort.50 of mode 444 from an earlier run"
cp -- "$EXAMPLE_LISTING" "$CASE_DIR/hdat.out"
old_vector_file "$CASE_DIR/fort.50"
chmod 444 "$CASE_DIR/fort.50"
hand_over
run_as_user
expect_outcome 1 "$VECTORS 9: cannot open or create the file: Permission denied"
expect_same_file "$CASE_DIR/fort.50" "$OLD_VECTORS"
expect_same_file "$CASE_DIR/hdat.out" "$EXAMPLE_LISTING"

new_case "hdat.out of mode 444 is read"
cp -- "$EXAMPLE_LISTING" "$CASE_DIR/hdat.out"
chmod 444 "$CASE_DIR/hdat.out"
hand_over
run_as_user
expect_outcome 0 ""
expect_same_file "$CASE_DIR/fort.50" "$EXAMPLE_VECTORS"
expect_same_file "$CASE_DIR/hdat.out" "$EXAMPLE_LISTING"

new_case "fort.50 of mode 222 from an earlier run is replaced"
cp -- "$EXAMPLE_LISTING" "$CASE_DIR/hdat.out"
old_vector_file "$CASE_DIR/fort.50"
chmod 222 "$CASE_DIR/fort.50"
hand_over
run_as_user
expect_outcome 0 ""
expect_kept "$CASE_DIR/fort.50" "$EXAMPLE_VECTORS"

# The same file is recognised even when it could not be written anyway.
new_case "fort.50 a symbolic link to hdat.out of mode 444"
cp -- "$EXAMPLE_LISTING" "$CASE_DIR/hdat.out"
chmod 444 "$CASE_DIR/hdat.out"
ln -s hdat.out "$CASE_DIR/fort.50"
hand_over
run_as_user
expect_outcome 1 "$VECTORS 9: cannot open or create the file: it is the same file as hdat.out (unit 4)"
expect_same_file "$CASE_DIR/hdat.out" "$EXAMPLE_LISTING"

finish
