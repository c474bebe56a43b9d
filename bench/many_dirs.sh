#!/usr/bin/env bash
# Converts a campaign of job directories in parallel the way the README's
# "Many job directories" section does with xargs -P, checks the outcome, and
# reports conversions per second per core beside the same loop running
# /bin/true, which costs only the start of a process.
#
#   bench/many_dirs.sh [PROGRAM]      PROGRAM defaults to build/eigpick
#
# Generates JOBS job directories (default 1000) in a temporary directory, each
# holding a copy of examples/hdat.out; a few are broken on purpose. Runs one
# PROGRAM per directory, with the directory as working directory, `nproc` at a
# time, collecting each failed directory with its exit status and report. Checks
# that every good directory's fort.50 is examples/fort.50.expected and that
# exactly the broken directories are reported, each with status 1 and one
# report line. Then times ROUNDS rounds (default 5) of the loop with PROGRAM and
# with /bin/true and prints the medians.
set -u
export LC_ALL=C

root=$(cd "$(dirname "$0")/.." && pwd)
program=$(realpath -m "${1:-$root/build/eigpick}")
jobs=${JOBS:-1000}
rounds=${ROUNDS:-5}
cores=$(nproc)

if [[ ! -x $program ]]; then
  echo "bench/many_dirs.sh: no program at $program; build it first: cmake --workflow --preset default" >&2
  exit 2
fi
if ((jobs < 1000)); then
  echo "bench/many_dirs.sh: JOBS must be at least 1000 (the broken directories are among the first 1000)" >&2
  exit 2
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/eigpick-many-dirs.XXXXXX")
trap 'rm -rf -- "$work"' EXIT
campaign=$work/campaign
listing=$root/examples/hdat.out
expected=$root/examples/fort.50.expected

# job_dir N: the directory of job N, named so that a sorted list is in job order.
job_dir() {
  printf '%s/job%05d' "$campaign" "$1"
}

# make_campaign: JOBS directories with the example listing, then the broken ones.
# Each broken one fails in a different place, so the reports differ.
broken=(7 123 321 500 666 999)
make_campaign() {
  local n
  mkdir -p "$campaign"
  for ((n = 1; n <= jobs; ++n)); do
    mkdir "$(job_dir "$n")"
    cp -- "$listing" "$(job_dir "$n")/hdat.out"
  done
  # Cut inside block A's rows, and inside block B's rows.
  head -n 50 -- "$listing" >"$(job_dir 7)/hdat.out"
  head -n 80 -- "$listing" >"$(job_dir 123)/hdat.out"
  # No listing at all: it is created empty.
  rm -- "$(job_dir 321)/hdat.out"
  # An empty listing.
  : >"$(job_dir 500)/hdat.out"
  # A letter in a coefficient field of block A (record 57, columns 44-51).
  awk 'NR == 57 { $0 = substr($0, 1, 43) "12.3x456" substr($0, 52) } { print }' \
    "$listing" >"$(job_dir 666)/hdat.out"
  # A vector file that cannot be created.
  mkdir "$(job_dir 999)/fort.50"
}

# convert_all PROGRAM FAILED: runs PROGRAM once in every job directory, `nproc`
# at a time, and writes one line "DIRECTORY<TAB>STATUS<TAB>REPORT" to FAILED for
# each run that fails; prints xargs's exit status (123 when any run failed).
# This is the README's xargs loop, with the program named by EIGPICK.
convert_all() {
  local status=0
  # shellcheck disable=SC2016 # the inner shell expands $1 and $EIGPICK
  find "$campaign" -mindepth 1 -maxdepth 1 -type d -print0 |
    EIGPICK=$1 xargs -0 -n 1 -P "$cores" sh -c '
      report=$(cd -- "$1" 2>&1 && "$EIGPICK" 2>&1) && exit 0
      status=$?
      printf "%s\t%s\t%s\n" "$1" "$status" "$report"
      exit 1' sh >"$2" || status=$?
  echo "$status"
}

# seconds_of COMMAND...: runs COMMAND and prints its wall time in seconds.
seconds_of() {
  local start end
  start=$EPOCHREALTIME
  "$@" >/dev/null
  end=$EPOCHREALTIME
  awk -v start="$start" -v end="$end" 'BEGIN { printf "%.4f\n", end - start }'
}

# median VALUES...: the middle value (the lower middle of an even count).
median() {
  printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'
}

failures=0
# expect NAME EXPECTED ACTUAL: a check of the campaign's outcome.
expect() {
  if [[ $2 != "$3" ]]; then
    failures=$((failures + 1))
    printf 'FAIL %s\n  expected: %s\n  actual:   %s\n' "$1" "$2" "$3"
  fi
}

echo "Generating $jobs job directories in $campaign ..."
make_campaign

# ---- the outcome of one conversion of the whole campaign
expect "xargs reports failed runs" 123 "$(convert_all "$program" "$work/failed.tsv")"

# The good directories, and those whose fort.50 is exactly the expected file.
want_hash=$(sha256sum <"$expected" | cut -d ' ' -f 1)
for n in "${broken[@]}"; do job_dir "$n"; echo; done | sort >"$work/broken.txt"
find "$campaign" -mindepth 1 -maxdepth 1 -type d | sort | comm -23 - "$work/broken.txt" >"$work/good.txt"
find "$campaign" -mindepth 2 -maxdepth 2 -name fort.50 -type f -exec sha256sum {} + |
  awk -v want="$want_hash" '$1 == want { sub(/\/fort\.50$/, "", $2); print $2 }' |
  sort >"$work/exact.txt"
expect "good directories whose fort.50 is exact" "$((jobs - ${#broken[@]}))" "$(wc -l <"$work/good.txt")"
expect "every good directory has the expected fort.50" "" "$(comm -3 "$work/good.txt" "$work/exact.txt" | head -n 5)"

# Exactly the broken directories are reported, each with status 1 and one line.
expect "the failed directories are the broken ones" "$(cat "$work/broken.txt")" \
  "$(cut -f 1 "$work/failed.tsv" | sort)"
expect "every failed run has status 1 and a one-line report" "" \
  "$(awk -F '\t' 'NF != 3 || $2 != 1 || $3 !~ /^eigpick: ./' "$work/failed.tsv")"
echo "Reported failures (directory, status, report):"
sort "$work/failed.tsv" | sed "s|^$campaign/||; s/^/  /"

# ---- timing: the same loop with the program and with /bin/true, alternately
eigpick_times=()
true_times=()
for ((round = 1; round <= rounds; ++round)); do
  eigpick_times+=("$(seconds_of convert_all "$program" "$work/timed.tsv")")
  true_times+=("$(seconds_of convert_all /bin/true "$work/timed.tsv")")
done
eigpick_seconds=$(median "${eigpick_times[@]}")
true_seconds=$(median "${true_times[@]}")

echo
echo "$jobs job directories, ${#broken[@]} broken on purpose, xargs -P $cores, median of $rounds rounds:"
awk -v jobs="$jobs" -v cores="$cores" -v program="$program" \
  -v eigpick_seconds="$eigpick_seconds" -v true_seconds="$true_seconds" 'BEGIN {
    printf "  %-40s %8s %12s %18s\n", "program", "wall s", "dirs/s", "dirs/s per core"
    printf "  %-40s %8.3f %12.0f %18.0f\n", program, eigpick_seconds,
      jobs / eigpick_seconds, jobs / eigpick_seconds / cores
    printf "  %-40s %8.3f %12.0f %18.0f\n", "/bin/true (process start-up)", true_seconds,
      jobs / true_seconds, jobs / true_seconds / cores
    printf "  eigpick adds %.3f ms of one core per directory to the start-up floor\n",
      (eigpick_seconds - true_seconds) * cores * 1000 / jobs
  }'

if ((failures > 0)); then
  echo "$failures checks failed"
  exit 1
fi
echo "all checks passed"
