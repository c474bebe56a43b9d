#!/usr/bin/env bash
# Checks what a user gets from an install: the program and its manual page in
# their places, a page that renders without warnings, examples in it that the
# installed program really prints, and a usage that names both outcomes of
# status 0.
#
#   docs/install_test.sh BUILD_DIR SOURCE_DIR
# Exits 77 (skipped) without groff, which renders the page.
# shellcheck source-path=SCRIPTDIR source=../tests/support/checks.sh
source "$(dirname -- "${BASH_SOURCE[0]}")/../tests/support/checks.sh"
expect_arguments 2 "BUILD_DIR SOURCE_DIR" "$@"
build_dir=$(realpath -- "$1")
source_dir=$(realpath -- "$2")
page=$source_dir/docs/eigpick.1
if ! command -v groff >/dev/null 2>&1; then
  echo "groff is missing (apt-get install groff-base): skipped"
  exit 77
fi
new_scratch install-test

check "groff finds nothing to warn about" "" "$(groff -man -ww -z "$page" 2>&1)"

prefix=$scratch/prefix
cmake --install "$build_dir" --prefix "$prefix" >"$scratch/install.log" 2>&1
check "cmake --install succeeds" 0 "$?"
check "the program is installed executable" yes "$([[ -x $prefix/bin/eigpick ]] && echo yes)"
check "the page is installed as it stands" same \
  "$(cmp -s "$page" "$prefix/share/man/man1/eigpick.1" && echo same)"

# The examples as a reader sees them, margins removed.
groff -man -Tascii -P-cbou "$page" 2>/dev/null | sed -n '/^EXAMPLES/,$p' |
  sed 's/^       //' >"$scratch/examples.txt"
example_line() { grep -F -- "$1" "$scratch/examples.txt" | head -n 1; }

# Runs the installed program in a directory holding LISTING; prints its stderr.
run_on() {
  mkdir -p "$scratch/run" && rm -f "$scratch/run/"*
  cat >"$scratch/run/hdat.out"
  (cd "$scratch/run" && "$prefix/bin/eigpick" 2>&1)
}

listing=$source_dir/examples/hdat.out
run_on <"$listing" >/dev/null
check "the example's first record of fort.50" "$(sed -n '/head -n 4 fort.50/{n;p}' "$scratch/examples.txt")" \
  "$(head -n 1 "$scratch/run/fort.50")"
check "the example's first header" "$(example_line '    E (  5 ) =')" "$(sed -n 4p "$scratch/run/fort.50")"

# Record 57 of the bundled listing is a row of block A; its first coefficient
# field, columns 44-51, gets a stray letter.
actual=$(awk 'NR == 57 { $0 = substr($0, 1, 43) "12.3x456" substr($0, 52) } { print }' "$listing" | run_on)
check "the bad real field example" "$(example_line 'statement line 25,')" "$actual"

actual=$(seq 312 | run_on)
check "the end-of-file example" "$(example_line 'statement line 12:')" "$actual"

# Block A of the bundled listing (rows from record 47) with 210 rows, its first
# row repeated: block B's first statement reads row 202.
actual=$(awk 'NR == 47 { for (k = 1; k <= 210; ++k) printf "%s%3d%s\n", substr($0, 1, 8), k, substr($0, 12) }
  NR < 47' "$listing" | run_on)
check "the example of more rows than block A takes" "$(example_line 'statement line 58,')" "$actual"

actual=$(
  seq 600 | run_on
  echo "status $?"
  cat "$scratch/run/fort.50"
)
check "the not-found example" "$(sed -n '/cat fort.50$/,/^$/{/cat fort.50$/d;/^$/d;p}' "$scratch/examples.txt")" \
  "$actual"
check "--help names the not-found outcome of status 0" yes \
  "$("$prefix/bin/eigpick" --help | grep -q 'Eigenvectors are not found' && echo yes)"

finish_checks
