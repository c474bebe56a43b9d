#!/usr/bin/env bash
# Whole-process figures for eigpick against a plain stdio reader of the same records.
#
#   bench/run.sh [PROGRAM]      PROGRAM defaults to build/eigpick
#
# Generates three listings in a temporary directory (typical: 300 banner records,
# the marker, 200 rows in each block; the same followed by 1 GiB of records that
# must never be read; the same with a first record of 256 MiB), builds
# bench/baseline.c with the C compiler and the optimisation flags of PROGRAM's
# build, then reports for both programs: wall time (hyperfine), instructions
# executed (callgrind, repeatable on a busy machine) and peak resident memory
# (/usr/bin/time -v), and whether each target is met. Installs nothing: it names
# the missing tools and stops. Callgrind profiles are kept in RESULTS_DIR (default
# build-bench/process) for callgrind_annotate.
#
# Environment: RUNS (hyperfine runs per command, default 200), RESULTS_DIR.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
program=$(realpath -m "${1:-$root/build/eigpick}")
runs=${RUNS:-200}
results=$(realpath -m "${RESULTS_DIR:-$root/build-bench/process}")

missing=()
command -v hyperfine >/dev/null 2>&1 || missing+=("hyperfine (apt-get install hyperfine)")
command -v valgrind >/dev/null 2>&1 || missing+=("valgrind (apt-get install valgrind)")
[[ -x /usr/bin/time ]] || missing+=("/usr/bin/time (apt-get install time)")
command -v cc >/dev/null 2>&1 || missing+=("a C compiler (apt-get install gcc)")
if ((${#missing[@]} > 0)); then
  printf 'bench/run.sh: missing: %s\n' "${missing[@]}" >&2
  exit 2
fi
if [[ ! -x $program ]]; then
  echo "bench/run.sh: no program at $program; build it first: cmake --workflow --preset default" >&2
  exit 2
fi

# The baseline gets the optimisation flags of the program's own build type.
c_flags="-O3 -DNDEBUG"
cache=$(dirname "$program")/CMakeCache.txt
if [[ -f $cache ]]; then
  build_type=$(sed -n 's/^CMAKE_BUILD_TYPE:[A-Z]*=//p' "$cache")
  if [[ -n $build_type ]]; then
    flags=$(sed -n "s/^CMAKE_CXX_FLAGS_${build_type^^}:[A-Z]*=//p" "$cache")
    if [[ -n $flags ]]; then c_flags=$flags; fi
  fi
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/eigpick-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p "$results"

banner=300
rows=200
# How many records eigpick reads, up to the last row of block B.
records=$(awk -v banner="$banner" -v rows="$rows" -v count=1 -f "$root/bench/make_listing.awk")

echo "Generating listings in $work ..."
# shellcheck disable=SC2086
cc $c_flags -o "$work/baseline" "$root/bench/baseline.c"
mkdir "$work/typical" "$work/trailing" "$work/big_first"
awk -v banner="$banner" -v rows="$rows" -f "$root/bench/make_listing.awk" >"$work/typical/hdat.out"
{
  cat "$work/typical/hdat.out"
  # Records that look like listing text; eigpick must stop reading long before them.
  # yes ends on SIGPIPE when head has its fill; that is no failure.
  (yes '  TRAILING RECORD  0.00000 0.00000 0.00000 0.00000 0.00000 0.00000 0.00000' || true) |
    head -c $((1 << 30))
} >"$work/trailing/hdat.out"
{
  head -c $((256 << 20)) /dev/zero | tr '\0' '*'
  echo
  tail -n +2 "$work/typical/hdat.out"
} >"$work/big_first/hdat.out"

listings=(typical trailing big_first)
declare -A describe=(
  [typical]="typical ($banner banner records, $rows rows per block)"
  [trailing]="typical + 1 GiB of trailing records"
  [big_first]="typical with a 256 MiB first record")

# Both programs must do their whole job on every listing, or the figures mean nothing.
for listing in "${listings[@]}"; do
  (
    cd "$work/$listing"
    "$program" || { echo "bench/run.sh: eigpick failed on the $listing listing" >&2; exit 1; }
    expected=$((1 + 10 * (3 + (rows > 0 ? (rows + 11) / 12 : 1))))
    actual=$(wc -l <fort.50)
    if ((actual != expected)); then
      echo "bench/run.sh: fort.50 of the $listing listing has $actual records, not $expected" >&2
      exit 1
    fi
    "$work/baseline" "$records"
  )
done

declare -A wall instructions memory

# One hyperfine pass over both programs in the listing's directory; the median
# wall times in milliseconds are appended to the listing's sample files.
measure_wall() {
  local listing=$1 run_count=$2
  (
    cd "$work/$listing"
    hyperfine --shell=none --style=none --warmup 5 --runs "$run_count" \
      --export-csv "$work/$listing.csv" "$program" "$work/baseline $records" \
      >/dev/null 2>>"$work/hyperfine.log"
  )
  # Columns: command,mean,stddev,median,user,system,min,max (seconds).
  awk -F, 'NR == 2 { printf "%.4f\n", $4 * 1000 }' "$work/$listing.csv" >>"$work/$listing.eigpick"
  awk -F, 'NR == 3 { printf "%.4f\n", $4 * 1000 }' "$work/$listing.csv" >>"$work/$listing.baseline"
}

median_of() { sort -g "$1" | awk '{ v[NR] = $1 } END { printf "%.3f", (v[int((NR + 1) / 2)] + v[int(NR / 2) + 1]) / 2 }'; }

measure_instructions() {
  local listing=$1 name=$2
  shift 2
  local out="$results/callgrind.$listing.$name.out"
  (cd "$work/$listing" && valgrind --tool=callgrind --callgrind-out-file="$out" "$@" 2>"$work/cg.log")
  instructions[$listing,$name]=$(sed -n 's/.*Collected : \([0-9]*\).*/\1/p' "$work/cg.log")
}

# The largest peak resident set (KiB) of three runs.
measure_memory() {
  local listing=$1 name=$2
  shift 2
  local peak=0 kib
  for _ in 1 2 3; do
    kib=$(cd "$work/$listing" && /usr/bin/time -v "$@" 2>&1 >/dev/null |
      sed -n 's/.*Maximum resident set size (kbytes): \([0-9]*\).*/\1/p')
    if ((kib > peak)); then peak=$kib; fi
  done
  memory[$listing,$name]=$peak
}

# Wall time: the listings take turns over several rounds, so a burst of load on
# a shared machine spreads over all of them instead of skewing one; each figure
# is the median of its rounds' medians.
rounds=5
echo "Measuring wall time: $rounds rounds of $((runs / rounds)) runs per program and listing ..."
for ((round = 1; round <= rounds; ++round)); do
  measure_wall typical $((runs / rounds))
  measure_wall trailing $((runs / rounds))
done
# Reading 256 MiB takes tens of milliseconds a run; fewer runs keep the script short.
measure_wall big_first 20
for listing in "${listings[@]}"; do
  wall[$listing,eigpick]=$(median_of "$work/$listing.eigpick")
  wall[$listing,baseline]=$(median_of "$work/$listing.baseline")
done

for listing in "${listings[@]}"; do
  echo "Measuring instructions and memory: ${describe[$listing]} ..."
  measure_instructions "$listing" eigpick "$program"
  measure_instructions "$listing" baseline "$work/baseline" "$records"
  measure_memory "$listing" eigpick "$program"
  measure_memory "$listing" baseline "$work/baseline" "$records"
done

echo
echo "eigpick: $program"
echo "baseline: bench/baseline.c, cc $c_flags, reads the same $records records with fgets"
echo
printf '%-50s %-9s %10s %14s %10s\n' listing program "wall ms" instructions "peak KiB"
for listing in "${listings[@]}"; do
  for name in eigpick baseline; do
    printf '%-50s %-9s %10s %14s %10s\n' "${describe[$listing]}" "$name" \
      "${wall[$listing,$name]}" "${instructions[$listing,$name]}" "${memory[$listing,$name]}"
  done
done

echo
failed=0
# target DESCRIPTION MEASURED LIMIT: met when MEASURED <= LIMIT.
target() {
  local verdict=met
  if ! awk -v m="$2" -v l="$3" 'BEGIN { exit !(m <= l) }'; then
    verdict="NOT MET"
    failed=1
  fi
  printf '%-62s %-8s (%s, limit %s)\n' "$1" "$verdict" "$2" "$3"
}
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", a / b }'; }

target "typical: instructions at most 2 x the baseline's" \
  "$(ratio "${instructions[typical,eigpick]}" "${instructions[typical,baseline]}")" 2
target "typical: wall time at most 1.3 x the baseline's" \
  "$(ratio "${wall[typical,eigpick]}" "${wall[typical,baseline]}")" 1.3
target "1 GiB trailing: wall time within 5% of typical" \
  "$(ratio "${wall[trailing,eigpick]}" "${wall[typical,eigpick]}")" 1.05
target "256 MiB first record: peak memory within 2 MiB of typical (KiB over)" \
  "$((memory[big_first,eigpick] - memory[typical,eigpick]))" 2048

echo
echo "Callgrind profiles: $results (callgrind_annotate FILE)"
echo "Wall times are medians of hyperfine runs; take them on a quiet machine."
if grep -q outliers "$work/hyperfine.log"; then
  echo "(hyperfine saw statistical outliers: the machine was busy while measuring)"
fi
exit "$failed"
