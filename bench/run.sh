#!/usr/bin/env bash
# Whole-process figures for eigpick against a plain stdio reader of the same records.
#
#   bench/run.sh [PROGRAM]      PROGRAM defaults to build/eigpick
#
# Generates six listings in a temporary directory (typical: 300 banner records,
# the marker, 200 rows in each block; the same records spelled in every other
# legal way; the same with every field spelled in a way other than the printed
# one; the typical one with a field that is no number in block B, where eigpick
# fails; the typical one followed by 1 GiB of records that must never be read;
# the same with a first record of 256 MiB) and builds bench/baseline.c
# statically with the C compiler and the optimisation flags of PROGRAM's build:
# eigpick is linked statically too, and a dynamically linked reader would pay
# for symbol resolution that eigpick never does. The baseline reads the records
# eigpick reads on each listing and nothing more: it never measures a line's
# length. For both programs it reports instructions executed (callgrind,
# repeatable on a busy machine), minor page faults (mean and median over
# FAULT_RUNS runs of /usr/bin/time; one run is noisy by a couple of faults), peak
# resident memory (the largest of the same runs) and wall time (median and
# quartiles of runs taken in turns by bench/alternate.c; typical, trailing and
# 256 MiB first record only), and whether each target is met.
#
# Needs valgrind, /usr/bin/time and a C compiler with the static C library;
# installs nothing: it names what is missing and stops. hyperfine is optional:
# when installed, it times the typical listing once more as a cross-check.
#
# Environment:
#   RUNS         wall-time runs per program on the typical and trailing listings
#                (200); 0 takes no wall times at all, for a busy machine
#   BIG_RUNS     wall-time runs per program with the 256 MiB first record (20)
#   FAULT_RUNS   runs per program counting page faults and peak memory (40)
#   REFERENCE    an older eigpick: its wall time with the 256 MiB first record is
#                taken in the same turns, and PROGRAM must be no slower
#   RESULTS_DIR  where the callgrind profiles are kept (build-bench/process)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
program=$(realpath -m "${1:-$root/build/eigpick}")
runs=${RUNS:-200}
big_runs=${BIG_RUNS:-20}
fault_runs=${FAULT_RUNS:-40}
reference=${REFERENCE:+$(realpath -m "$REFERENCE")}
results=$(realpath -m "${RESULTS_DIR:-$root/build-bench/process}")

banner=300
rows=200
# Row of block B that holds a bad field in the failing listing.
fail_row=100
listings=(typical odd all_odd failing trailing big_first)
declare -A describe=(
  [typical]="typical ($banner banner records, $rows rows per block)"
  [odd]="typical, every other legal spelling"
  [all_odd]="typical, every field spelled another way"
  [failing]="typical, a bad field in block B row $fail_row"
  [trailing]="typical + 1 GiB of trailing records"
  [big_first]="typical with a 256 MiB first record")
# What each listing is made from, as arguments of bench/make_listing.awk.
declare -A spelling=([odd]="-v style=odd" [all_odd]="-v style=all_odd" [failing]="-v fail_row=$fail_row")
declare -A wall spread instructions faults_mean faults_median memory records

fail_setup() {
  printf 'bench/run.sh: %s\n' "$@" >&2
  exit 2
}

check_tools() {
  local missing=()
  command -v valgrind >/dev/null 2>&1 || missing+=("valgrind (apt-get install valgrind)")
  [[ -x /usr/bin/time ]] || missing+=("/usr/bin/time (apt-get install time)")
  command -v cc >/dev/null 2>&1 || missing+=("a C compiler (apt-get install gcc)")
  if ((${#missing[@]} > 0)); then
    fail_setup "${missing[@]/#/missing: }"
  fi
  [[ -x $program ]] ||
    fail_setup "no program at $program; build it first: cmake --workflow --preset default"
  [[ -z $reference || -x $reference ]] || fail_setup "no reference program at $reference"
}

# The optimisation flags of the program's own build type, for the baseline.
c_flags() {
  local flags="-O3 -DNDEBUG" cache build_type
  cache=$(dirname "$program")/CMakeCache.txt
  if [[ -f $cache ]]; then
    build_type=$(sed -n 's/^CMAKE_BUILD_TYPE:[A-Z]*=//p' "$cache")
    if [[ -n $build_type ]]; then
      flags=$(sed -n "s/^CMAKE_CXX_FLAGS_${build_type^^}:[A-Z]*=//p" "$cache")
    fi
  fi
  echo "${flags:--O3 -DNDEBUG}"
}

build_helpers() {
  # shellcheck disable=SC2086 # the flags are words
  cc $baseline_flags -static -o "$work/baseline" "$root/bench/baseline.c" ||
    fail_setup "cannot link bench/baseline.c statically; the static C library comes with libc6-dev"
  cc -O2 -o "$work/alternate" "$root/bench/alternate.c"
}

make_listings() {
  local listing
  for listing in "${listings[@]}"; do
    mkdir "$work/$listing"
    # shellcheck disable=SC2086 # the spelling is awk's arguments
    records[$listing]=$(awk -v banner="$banner" -v rows="$rows" ${spelling[$listing]:-} -v count=1 \
      -f "$root/bench/make_listing.awk")
  done
  for listing in typical odd all_odd failing; do
    # shellcheck disable=SC2086
    awk -v banner="$banner" -v rows="$rows" ${spelling[$listing]:-} -f "$root/bench/make_listing.awk" \
      >"$work/$listing/hdat.out"
  done
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
  # Otherwise the kernel writes the 1.3 GiB out while the first figures are taken.
  sync "$work"/*/hdat.out
}

# Every program must do its whole job on every listing, or the figures mean
# nothing: the vector file in full, or on the failing listing a report and the
# records written before block B.
check_outputs() {
  local listing name expected actual status sections
  sections=$((3 + (rows > 0 ? (rows + 11) / 12 : 1)))
  for listing in "${listings[@]}"; do
    for name in eigpick reference; do
      [[ $name == eigpick || -n $reference ]] || continue
      status=0
      (cd "$work/$listing" && rm -f fort.50 && "${command[$name]}" >/dev/null 2>&1) || status=$?
      expected=$((1 + 10 * sections))
      if [[ $listing == failing ]]; then
        expected=$((1 + 4 * sections))
        ((status == 1)) || fail_setup "$name did not fail on the failing listing (status $status)"
      else
        ((status == 0)) || fail_setup "$name failed on the $listing listing"
      fi
      actual=$(wc -l <"$work/$listing/fort.50")
      ((actual == expected)) ||
        fail_setup "$name wrote $actual records to fort.50 of the $listing listing, not $expected"
    done
    (cd "$work/$listing" && "$work/baseline" "${records[$listing]}") ||
      fail_setup "the baseline failed on the $listing listing"
  done
}

# The command line of the named program on LISTING, into the array cmd.
command_line() {
  cmd=("${command[$1]}")
  if [[ $1 == baseline ]]; then cmd+=("${records[$2]}"); fi
}

# Median wall times of the named programs, run in turns on LISTING, and the
# spread of each one's runs (upper less lower quartile).
measure_wall() {
  local listing=$1 run_count=$2 warmup=$3 name args=() figures i=0 median lower upper
  shift 3
  for name in "$@"; do
    if ((${#args[@]} > 0)); then args+=(::); fi
    command_line "$name" "$listing"
    args+=("${cmd[@]}")
  done
  mapfile -t figures < <(cd "$work/$listing" && "$work/alternate" "$run_count" "$warmup" "${args[@]}")
  ((${#figures[@]} == $#)) || fail_setup "timing the $listing listing failed"
  for name in "$@"; do
    read -r median lower upper <<<"${figures[i]}"
    wall[$listing,$name]=$median
    spread[$listing,$name]=$(difference "$upper" "$lower" 4)
    i=$((i + 1))
  done
}

measure_instructions() {
  local listing=$1 name=$2
  local out="$results/callgrind.$listing.$name.out"
  command_line "$name" "$listing"
  # The failing run exits 1 by design.
  (cd "$work/$listing" && valgrind --tool=callgrind --callgrind-out-file="$out" "${cmd[@]}" \
    >/dev/null 2>"$work/cg.log") || [[ $listing == failing ]]
  instructions[$listing,$name]=$(sed -n 's/.*Collected : \([0-9]*\).*/\1/p' "$work/cg.log")
}

# Minor page faults and peak resident memory of FAULT_RUNS runs of each program,
# taken in turns. Faults: mean and median; memory: the largest, KiB.
measure_faults() {
  local listing=$1 name i
  for name in eigpick baseline; do : >"$work/$listing.$name.time"; done
  for ((i = 0; i < fault_runs; ++i)); do
    for name in eigpick baseline; do
      command_line "$name" "$listing"
      (cd "$work/$listing" &&
        /usr/bin/time -a -o "$work/$listing.$name.time" -f '%R %M' "${cmd[@]}" >/dev/null 2>&1) ||
        [[ $listing == failing ]]
    done
  done
  for name in eigpick baseline; do
    faults_mean[$listing,$name]=$(awk '{ s += $1 } END { printf "%.1f", s / NR }' "$work/$listing.$name.time")
    faults_median[$listing,$name]=$(cut -d' ' -f1 "$work/$listing.$name.time" | median_of)
    memory[$listing,$name]=$(sort -n -k2 "$work/$listing.$name.time" | tail -n 1 | cut -d' ' -f2)
  done
}

median_of() { sort -g | awk '{ v[NR] = $1 } END { m = (v[int((NR + 1) / 2)] + v[int(NR / 2) + 1]) / 2; print m }'; }

# hyperfine over the typical listing in interleaved rounds, as a check on the
# turns of bench/alternate.c: the medians of the round medians, in ms.
hyperfine_check() {
  local rounds=5 round
  for ((round = 1; round <= rounds; ++round)); do
    (cd "$work/typical" && hyperfine --shell=none --style=none --warmup 5 --runs $((runs / rounds)) \
      --export-csv "$work/hyperfine.csv" "$program" "$work/baseline ${records[typical]}" \
      >/dev/null 2>>"$work/hyperfine.log")
    # Columns: command,mean,stddev,median,... (seconds).
    awk -F, 'NR == 2 { print $4 * 1000 }' "$work/hyperfine.csv" >>"$work/hyperfine.eigpick"
    awk -F, 'NR == 3 { print $4 * 1000 }' "$work/hyperfine.csv" >>"$work/hyperfine.baseline"
  done
  local e b
  e=$(median_of <"$work/hyperfine.eigpick")
  b=$(median_of <"$work/hyperfine.baseline")
  printf 'hyperfine cross-check, typical: eigpick %.4f ms, baseline %.4f ms, ratio %s\n' "$e" "$b" "$(ratio "$e" "$b")"
  # Runs under a millisecond show outliers even on a quiet machine; its log says more.
  if grep -q outliers "$work/hyperfine.log"; then
    echo "(hyperfine reported statistical outliers)"
  fi
}

print_table() {
  local listing name
  printf '%-48s %-9s %10s %10s %13s %12s %13s %9s\n' listing program "wall ms" "spread ms" \
    instructions "faults mean" "faults median" "peak KiB"
  for listing in "${listings[@]}"; do
    for name in eigpick baseline reference; do
      [[ -n ${wall[$listing,$name]:-} || -n ${instructions[$listing,$name]:-} ]] || continue
      printf '%-48s %-9s %10s %10s %13s %12s %13s %9s\n' "${describe[$listing]}" "$name" \
        "${wall[$listing,$name]:--}" "${spread[$listing,$name]:--}" \
        "${instructions[$listing,$name]:--}" "${faults_mean[$listing,$name]:--}" \
        "${faults_median[$listing,$name]:--}" "${memory[$listing,$name]:--}"
    done
  done
}

failed=0
# target DESCRIPTION MEASURED LIMIT: met when MEASURED <= LIMIT.
target() {
  local verdict=met
  if ! awk -v m="$2" -v l="$3" 'BEGIN { exit !(m <= l) }'; then
    verdict="NOT MET"
    failed=1
  fi
  printf '%-72s %-8s (%s, limit %s)\n' "$1" "$verdict" "$2" "$3"
}
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", a / b }'; }
# difference A B [DECIMALS]: A - B, to one decimal unless told.
difference() { awk -v a="$1" -v b="$2" -v d="${3:-1}" 'BEGIN { printf "%.*f", d, a - b }'; }
distance() { awk -v a="$1" -v b="$2" 'BEGIN { d = a - b; printf "%.1f", d < 0 ? -d : d }'; }
percent_off() { awk -v a="$1" -v b="$2" 'BEGIN { d = 100 * (a - b) / b; printf "%.3f", d < 0 ? -d : d }'; }

print_targets() {
  local listing
  target "typical: instructions at most 1.3 x the baseline's" \
    "$(ratio "${instructions[typical,eigpick]}" "${instructions[typical,baseline]}")" 1.3
  target "odd spellings: instructions at most 2.0 x the baseline's" \
    "$(ratio "${instructions[odd,eigpick]}" "${instructions[odd,baseline]}")" 2.0
  target "every field odd: instructions at most 2.5 x the baseline's" \
    "$(ratio "${instructions[all_odd,eigpick]}" "${instructions[all_odd,baseline]}")" 2.5
  # Failing costs no more than succeeding: what a run reports, it reports cheaply.
  target "failing: instructions at most a successful typical run's (ratio)" \
    "$(ratio "${instructions[failing,eigpick]}" "${instructions[typical,eigpick]}")" 1
  for listing in typical odd all_odd; do
    target "${listing//_/ }: mean minor faults at most the baseline's + 5 (faults over)" \
      "$(difference "${faults_mean[$listing,eigpick]}" "${faults_mean[$listing,baseline]}")" 5
  done
  if ((runs > 0)); then
    # Within the noise: eigpick's median exceeds the baseline's by no more than
    # the spread between the baseline's own runs.
    target "typical: median wall time over the baseline's, within its spread (ms over)" \
      "$(difference "${wall[typical,eigpick]}" "${wall[typical,baseline]}" 4)" \
      "${spread[typical,baseline]}"
  fi
  # The same work as on the typical listing: only a run's own noise is allowed.
  target "1 GiB trailing: instructions within 1% of typical (% off)" \
    "$(percent_off "${instructions[trailing,eigpick]}" "${instructions[typical,eigpick]}")" 1
  target "1 GiB trailing: mean minor faults within 2 of typical (faults off)" \
    "$(distance "${faults_mean[trailing,eigpick]}" "${faults_mean[typical,eigpick]}")" 2
  target "256 MiB first record: peak memory within 2 MiB of typical (KiB over)" \
    "$((memory[big_first,eigpick] - memory[typical,eigpick]))" 2048
  if [[ -n $reference ]] && ((runs > 0)); then
    # 5% for the noise between runs of tens of milliseconds.
    target "256 MiB first record: median wall time at most the reference's (ratio)" \
      "$(ratio "${wall[big_first,eigpick]}" "${wall[big_first,reference]}")" 1.05
  fi
}

check_tools
baseline_flags=$(c_flags)
work=$(mktemp -d "${TMPDIR:-/tmp}/eigpick-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p "$results"
declare -A command=([eigpick]=$program [baseline]=$work/baseline [reference]=$reference)

echo "Generating listings in $work ..."
build_helpers
make_listings
check_outputs

if ((runs > 0)); then
  echo "Measuring wall time: $runs runs per program in turns (typical, trailing), $big_runs (256 MiB first record) ..."
  measure_wall typical "$runs" 5 eigpick baseline
  measure_wall trailing "$runs" 5 eigpick baseline
  # Reading 256 MiB takes tens of milliseconds a run; fewer runs keep the script short.
  if [[ -n $reference ]]; then
    measure_wall big_first "$big_runs" 1 eigpick baseline reference
  else
    measure_wall big_first "$big_runs" 1 eigpick baseline
  fi
else
  echo "RUNS=0: no wall times"
fi

for listing in "${listings[@]}"; do
  echo "Measuring instructions, faults and memory: ${describe[$listing]} ..."
  measure_instructions "$listing" eigpick
  measure_instructions "$listing" baseline
  measure_faults "$listing"
done

echo
echo "eigpick: $program"
echo "baseline: bench/baseline.c, cc $baseline_flags -static, reads the records eigpick reads with fgets"
echo "spread: upper less lower quartile of a program's wall times"
[[ -z $reference ]] || echo "reference: $reference (wall time with the 256 MiB first record only)"
echo
print_table
echo
if ((runs == 0)); then
  :
elif command -v hyperfine >/dev/null 2>&1; then
  hyperfine_check
else
  echo "hyperfine not installed: no cross-check of the wall times"
fi
echo
print_targets
echo
echo "Callgrind profiles: $results (callgrind_annotate FILE)"
echo "Wall times are medians of runs taken in turns; take them on a quiet machine."
exit "$failed"
