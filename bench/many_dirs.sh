#!/usr/bin/env bash
# Converts a campaign of job directories in parallel with the xargs -P recipe
# of the README's "Many job directories" (its eigpick-job script and loop,
# taken from README.md), checks the outcomes, and reports conversions per
# second per core beside the same loop running /bin/true, which costs only the
# start of a process.
#
#   bench/many_dirs.sh [PROGRAM]      PROGRAM defaults to build/eigpick
#
# Generates JOBS job directories (default 1000, at least 10) in a temporary directory, each
# holding a copy of examples/hdat.out; a few are broken on purpose, one holds a
# listing without the marker and one no listing. Runs the recipe with PROGRAM
# as eigpick, `nproc` directories at a time. Checks that every good directory is
# reported converted with fort.50 exactly examples/fort.50.expected, that
# exactly the broken directories are reported failed, each with status 1 and
# one report line, and that the other two are reported not-found and
# no-listing. Then times ROUNDS rounds (default 5) of the loop with PROGRAM and
# with /bin/true and prints the medians; ROUNDS=0 checks the outcomes only.
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
if ((jobs < 10)); then
  echo "bench/many_dirs.sh: JOBS must be at least 10 (the broken directories are among the first 10)" >&2
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

# make_campaign: JOBS directories with the example listing, then the broken ones,
# the one without a marker and the one without a listing. Each broken one fails
# in a different place, so the reports differ.
broken=(1 3 5 6 9)
no_marker=4
no_listing=7
make_campaign() {
  local n
  mkdir -p "$campaign"
  for ((n = 1; n <= jobs; ++n)); do
    mkdir "$(job_dir "$n")"
    cp -- "$listing" "$(job_dir "$n")/hdat.out"
  done
  # Cut inside block A's rows, and inside block B's rows.
  head -n 50 -- "$listing" >"$(job_dir "${broken[0]}")/hdat.out"
  head -n 80 -- "$listing" >"$(job_dir "${broken[1]}")/hdat.out"
  # 600 records without the marker.
  seq 600 >"$(job_dir "$no_marker")/hdat.out"
  # No listing at all.
  rm -- "$(job_dir "$no_listing")/hdat.out"
  # An empty listing.
  : >"$(job_dir "${broken[2]}")/hdat.out"
  # A letter in a coefficient field of block A (record 57, columns 44-51).
  awk 'NR == 57 { $0 = substr($0, 1, 43) "12.3x456" substr($0, 52) } { print }' \
    "$listing" >"$(job_dir "${broken[3]}")/hdat.out"
  # A vector file that cannot be created.
  mkdir "$(job_dir "${broken[4]}")/fort.50"
}

# readme_block FIRST_LINE [TEXT]: the first indented code block of the README
# that starts with FIRST_LINE (and holds TEXT), without its indentation.
readme_block() {
  awk -v first="$1" -v text="${2:-}" '
    /^    / { block = block substr($0, 5) "\n"; next }
    block != "" && index(block, first) == 1 && index(block, text) > 0 { printf "%s", block; exit }
    { block = "" }' "$root/README.md"
}

# The recipe runs `eigpick` and `eigpick-job` from PATH: bin/eigpick-job is the
# README's script, and PROGRAM or /bin/true is linked as eigpick into
# program/ or true/.
mkdir -p "$work/bin" "$work/program" "$work/true"
readme_block '#!/bin/sh' >"$work/bin/eigpick-job"
chmod +x "$work/bin/eigpick-job"
ln -s -- "$program" "$work/program/eigpick"
ln -s /bin/true "$work/true/eigpick"
recipe=$(readme_block 'find campaign' 'xargs -0')
if [[ -z $recipe || ! -s $work/bin/eigpick-job ]]; then
  echo "bench/many_dirs.sh: the xargs recipe or eigpick-job is missing from README.md" >&2
  exit 2
fi

# convert_all EIGPICK_DIR OUTCOMES: runs the README's xargs recipe over the
# campaign with EIGPICK_DIR/eigpick as eigpick, `nproc` at a time, and writes
# its outcomes.tsv to OUTCOMES; prints xargs's exit status (123 when any
# directory was not converted).
convert_all() {
  local status=0
  (cd "$work" && PATH="$work/bin:$1:$PATH" && bash -c "$recipe" 2>/dev/null) || status=$?
  mv -- "$work/outcomes.tsv" "$2"
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
expect "xargs reports directories not converted" 123 \
  "$(convert_all "$work/program" "$work/outcomes-program.tsv")"
outcomes=$work/outcomes-program.tsv
# with_outcome OUTCOME: the directories reported with OUTCOME, sorted.
with_outcome() {
  awk -F '\t' -v outcome="$1" '$2 == outcome { print $1 }' "$outcomes" | sed "s|^campaign/|$campaign/|" | sort
}
expect "one line per job directory" "$jobs" "$(wc -l <"$outcomes")"

# The good directories, and those whose fort.50 is exactly the expected file.
want_hash=$(sha256sum <"$expected" | cut -d ' ' -f 1)
for n in "${broken[@]}" "$no_marker" "$no_listing"; do job_dir "$n"; echo; done | sort >"$work/not-good.txt"
find "$campaign" -mindepth 1 -maxdepth 1 -type d | sort | comm -23 - "$work/not-good.txt" >"$work/good.txt"
find "$campaign" -mindepth 2 -maxdepth 2 -name fort.50 -type f -exec sha256sum {} + |
  awk -v want="$want_hash" '$1 == want { sub(/\/fort\.50$/, "", $2); print $2 }' |
  sort >"$work/exact.txt"
expect "good directories" "$((jobs - ${#broken[@]} - 2))" "$(wc -l <"$work/good.txt")"
expect "the converted directories are the good ones" "" \
  "$(with_outcome converted | comm -3 "$work/good.txt" - | head -n 5)"
expect "every good directory has the expected fort.50" "" "$(comm -3 "$work/good.txt" "$work/exact.txt" | head -n 5)"

# Exactly the broken directories are reported failed, each with status 1 and
# one line; the others as not-found and no-listing.
expect "the failed directories are the broken ones" \
  "$(for n in "${broken[@]}"; do job_dir "$n"; echo; done | sort)" "$(with_outcome failed)"
expect "every failed run has status 1 and a one-line report" "" \
  "$(awk -F '\t' '$2 == "failed" && (NF != 3 || $3 !~ /^status 1: eigpick: ./)' "$outcomes")"
expect "the directory without a marker is not-found" "$(job_dir "$no_marker")" "$(with_outcome not-found)"
expect "the directory without a listing is no-listing" "$(job_dir "$no_listing")" "$(with_outcome no-listing)"
expect "no listing is created where there was none" no \
  "$([[ -e $(job_dir "$no_listing")/hdat.out ]] && echo yes || echo no)"
expect "the README's summary of the outcomes" \
  "$((jobs - ${#broken[@]} - 2)) converted|${#broken[@]} failed|1 no-listing|1 not-found" \
  "$(cp -- "$outcomes" "$work/outcomes.tsv" && cd "$work" && readme_block 'cut -f 2 outcomes.tsv' |
    head -n 1 | sh | awk '{ print $1, $2 }' | paste -sd '|')"
echo "Directories not converted (directory, outcome, report):"
awk -F '\t' '$2 != "converted"' "$outcomes" | sort | sed "s|^campaign/||; s/^/  /"

# ---- timing: the same loop with the program and with /bin/true, alternately
if ((rounds > 0)); then
  eigpick_times=()
  true_times=()
  for ((round = 1; round <= rounds; ++round)); do
    eigpick_times+=("$(seconds_of convert_all "$work/program" "$work/timed.tsv")")
    true_times+=("$(seconds_of convert_all "$work/true" "$work/timed.tsv")")
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
fi

if ((failures > 0)); then
  echo "$failures checks failed"
  exit 1
fi
echo "all checks passed"
