#!/usr/bin/env bash
# Checks that the whole-process comparison is fair: the baseline counts records
# as eigpick does, the generated listings make eigpick read exactly the records
# that bench/run.sh hands to the baseline, and the wall-time runner takes the
# programs in turns and reports each one's time on its own line; and that the
# many-directories run, which is the README's campaign recipe, sorts the
# directories by outcome.
#
#   bench/tools_test.sh EIGPICK SOURCE_DIR
# shellcheck source-path=SCRIPTDIR source=../tests/support/checks.sh
source "$(dirname -- "${BASH_SOURCE[0]}")/../tests/support/checks.sh"
expect_arguments 2 "EIGPICK SOURCE_DIR" "$@"
eigpick=$(realpath -- "$1")
source_dir=$(realpath -- "$2")
new_scratch bench-test

cc -O2 -o "$scratch/baseline" "$source_dir/bench/baseline.c" || exit 1
cc -O2 -o "$scratch/alternate" "$source_dir/bench/alternate.c" || exit 1

# baseline_status CASE RECORDS: the baseline's exit status on the listing in CASE.
baseline_status() {
  (cd "$scratch/$1" && "$scratch/baseline" "$2" 2>/dev/null)
  echo $?
}

# Listings whose record count is easy to get wrong, and the records each holds.
# A line longer than the baseline's buffer must still count once.
mkdir "$scratch/long" "$scratch/unterminated" "$scratch/crlf" "$scratch/empty_lines" \
  "$scratch/buffer_less_one" "$scratch/buffer_unterminated"
{
  head -c 10000 /dev/zero | tr '\0' 'x'
  printf '\nsecond\nthird\n'
} >"$scratch/long/hdat.out"
# Lines that end where the baseline's 4096-byte buffer does: one that leaves
# the last byte but one to the terminating NUL, one that fills it unterminated.
{
  head -c 4093 /dev/zero | tr '\0' 'x'
  printf '\nsecond\n'
} >"$scratch/buffer_less_one/hdat.out"
head -c 4095 /dev/zero | tr '\0' 'x' >"$scratch/buffer_unterminated/hdat.out"
printf 'one\ntwo' >"$scratch/unterminated/hdat.out"
printf 'one\r\ntwo\r\n' >"$scratch/crlf/hdat.out"
printf '\n\n\n' >"$scratch/empty_lines/hdat.out"

while read -r case_name records; do
  check "baseline reads all $records records of $case_name" 0 "$(baseline_status "$case_name" "$records")"
  check "baseline finds no record $((records + 1)) in $case_name" 1 \
    "$(baseline_status "$case_name" $((records + 1)))"
done <<'EOF'
long 3
unterminated 2
crlf 2
empty_lines 3
buffer_less_one 2
buffer_unterminated 1
EOF
check "baseline rejects a count that is no number" 2 "$(baseline_status long 3x)"

# For each shape, in the usual spelling and the odd one, eigpick must finish on
# the listing cut after the counted records, and meet the end of the file when
# one record less is left.
while read -r banner rows last_line style; do
  shape="banner $banner, rows $rows, $style"
  dir="$scratch/listing_${banner}_${rows}_$style"
  mkdir "$dir"
  records=$(awk -v banner="$banner" -v rows="$rows" -v count=1 -f "$source_dir/bench/make_listing.awk")
  awk -v banner="$banner" -v rows="$rows" -v style="$style" -f "$source_dir/bench/make_listing.awk" \
    >"$dir/full"

  head -n "$records" "$dir/full" >"$dir/hdat.out"
  (cd "$dir" && "$eigpick" 2>"$dir/stderr")
  check "eigpick finishes on $records records ($shape)" "0:" "$?:$(cat "$dir/stderr")"
  sections=$((rows > 0 ? (rows + 11) / 12 : 1))
  check "fort.50 records ($shape)" $((1 + 10 * (3 + sections))) "$(wc -l <"$dir/fort.50")"
  check "fort.50 row count ($shape)" "$(printf '%5d' "$rows")" "$(head -n 1 "$dir/fort.50")"

  head -n $((records - 1)) "$dir/full" >"$dir/hdat.out"
  (cd "$dir" && "$eigpick" 2>"$dir/stderr")
  # The cause in parentheses at the end of the report is not this check's business.
  check "eigpick needs record $records ($shape)" \
    "1:eigpick: hdat.out (unit 4), statement line $last_line: end of file after record $((records - 1))" \
    "$?:$(sed 's/ ([^()]*)$//' "$dir/stderr")"
done <<'EOF'
300 200 74 usual
3 37 74 usual
0 1 74 usual
5 0 63 usual
300 200 74 odd
3 37 74 odd
300 200 74 all_odd
EOF

# The failing listing stops at its bad field, the last record counted for it.
mkdir "$scratch/failing"
records=$(awk -v fail_row=30 -v count=1 -f "$source_dir/bench/make_listing.awk")
awk -v fail_row=30 -f "$source_dir/bench/make_listing.awk" >"$scratch/failing/hdat.out"
(cd "$scratch/failing" && "$eigpick" 2>"$scratch/failing/stderr")
check "eigpick stops at the bad field of record $records" \
  "1:eigpick: hdat.out (unit 4), statement line 74, record $records, columns 28-35" \
  "$?:$(sed 's/: bad real field.*//' "$scratch/failing/stderr")"

# The runner: runs in turns, warm-up rounds included, and nothing recorded for
# a program that failed.
mkdir "$scratch/turns"
turns() { (cd "$scratch/turns" && "$scratch/alternate" "$@" 2>/dev/null); }
medians=$(turns 3 1 sh -c 'printf a >>log' :: sh -c 'printf b >>log' :: sh -c 'printf c >>log')
check "runner takes the programs in turns" "abcabcabcabc" "$(cat "$scratch/turns/log")"
check "runner prints one median per program" 3 "$(wc -l <<<"$medians")"
check "runner's quartiles enclose each median" "ok ok ok" \
  "$(awk '{ printf "%s%s", (NR > 1 ? " " : ""), ($2 <= $1 && $1 <= $3 ? "ok" : "out") }' <<<"$medians")"
# A figure on the wrong program's line would swap the sides of every ratio.
check "runner reports the medians in the programs' order" "slow fast" \
  "$(turns 3 0 sleep 0.05 :: true | awk '{ printf "%s%s", (NR > 1 ? " " : ""), ($1 >= 50 ? "slow" : "fast") }')"
while read -r expected_status arguments; do
  # shellcheck disable=SC2086 # the arguments are words
  check "runner exit status: $arguments" "$expected_status:" "$(
    output=$(turns $arguments)
    echo "$?:$output"
  )"
done <<'EOF'
1 2 0 true :: false
1 2 0 no-such-program-here
2 2 0 true ::
2 0 0 true
2 2 x true
EOF

# The many-directories run on ten directories, without timing: the README's
# xargs recipe must report each one converted, not-found, failed or no-listing,
# and its summary must count them so.
JOBS=10 ROUNDS=0 bash "$source_dir/bench/many_dirs.sh" "$eigpick" >"$scratch/many_dirs.log" 2>&1
status=$?
check "the README's campaign recipe (bench/many_dirs.sh)" "0:all checks passed" \
  "$status:$(tail -n 1 "$scratch/many_dirs.log")"
((status == 0)) || cat "$scratch/many_dirs.log"

finish_checks
