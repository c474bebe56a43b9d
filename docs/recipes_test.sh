#!/usr/bin/env bash
# The campaign recipes of the README's "Many job directories", run as printed
# (eigpick-job and each loop are taken from README.md) on four job directories:
# one that converts, one whose listing has no marker, one that fails and one
# without a listing. Each recipe must sort them into those four outcomes, and
# the summary must count them so. GNU parallel's recipe is passed over where
# parallel is not installed.
#
#   docs/recipes_test.sh EIGPICK SOURCE_DIR
# shellcheck source-path=SCRIPTDIR source=../tests/support/checks.sh
source "$(dirname -- "${BASH_SOURCE[0]}")/../tests/support/checks.sh"
expect_arguments 2 "EIGPICK SOURCE_DIR" "$@"
eigpick=$(realpath -- "$1")
source_dir=$(realpath -- "$2")
readme=$source_dir/README.md
new_scratch recipes

# readme_block FIRST_LINE [TEXT]: the first indented code block of the README
# that starts with FIRST_LINE (and holds TEXT), without its indentation.
readme_block() {
  awk -v first="$1" -v text="${2:-}" '
    /^    / { block = block substr($0, 5) "\n"; next }
    block != "" && index(block, first) == 1 && index(block, text) > 0 { printf "%s", block; exit }
    { block = "" }' "$readme"
}

# eigpick and eigpick-job on PATH, as the recipes assume.
mkdir "$scratch/bin"
ln -s -- "$eigpick" "$scratch/bin/eigpick"
readme_block '#!/bin/sh' >"$scratch/bin/eigpick-job"
readme_block '#!/bin/bash' >"$scratch/convert.sbatch"
chmod +x "$scratch/bin/eigpick-job"
export PATH="$scratch/bin:$PATH"

# new_campaign: $scratch/run/campaign with the four job directories.
new_campaign() {
  rm -rf -- "$scratch/run"
  mkdir -p "$scratch/run/campaign/"{good,no-marker,cut,empty}
  cp -- "$source_dir/examples/hdat.out" "$scratch/run/campaign/good/"
  seq 600 >"$scratch/run/campaign/no-marker/hdat.out"
  head -n 50 -- "$source_dir/examples/hdat.out" >"$scratch/run/campaign/cut/hdat.out"
}

# outcomes FILE: each directory's name and outcome, sorted, on one line.
outcomes() {
  awk -F '\t' '{ n = split($1, part, "/"); printf "%s=%s ", part[n], $2 }' "$1" 2>&1 | tr ' ' '\n' |
    sort | paste -sd ' ' | sed 's/^ //'
}
expected_outcomes="cut=failed empty=no-listing good=converted no-marker=not-found"

# check_recipe NAME: the outcomes of a recipe run in $scratch/run.
check_recipe() {
  local run=$scratch/run
  check "$1: the outcome of every directory" "$expected_outcomes" "$(outcomes "$run/outcomes.tsv")"
  check "$1: the failed directory's report" \
    "status 1: eigpick: hdat.out (unit 4), statement line 25: end of file after record 50 (the listing ends in block A after 4 rows, before the row with a zero index that ends it)" \
    "$(awk -F '\t' '$2 == "failed" { print $3 }' "$run/outcomes.tsv")"
  check "$1: the summary" "1 converted|1 failed|1 no-listing|1 not-found" \
    "$(cd "$run" && readme_block 'cut -f 2 outcomes.tsv' | head -n 1 | sh | awk '{ print $1, $2 }' | paste -sd '|')"
  check "$1: the directories to look at" "cut empty no-marker" \
    "$(cd "$run" && readme_block 'cut -f 2 outcomes.tsv' | sed -n 2p | sh | cut -f 1 | sed 's|.*/||' | sort | paste -sd ' ')"
  check "$1: no listing is created where there was none" no \
    "$([[ -e $run/campaign/empty/hdat.out ]] && echo yes || echo no)"
}

# run_recipe NAME TEXT STATUS: runs the README's recipe that starts with
# "find campaign" and holds TEXT in a fresh campaign; it must end with STATUS.
run_recipe() {
  new_campaign
  local status=0
  (cd "$scratch/run" && readme_block "find campaign" "$2" | bash) 2>"$scratch/$1.log" || status=$?
  check "$1: exit status" "$3" "$status"
  check_recipe "$1"
}

run_recipe "find -exec" "-exec eigpick-job" 0
run_recipe "xargs -P" "xargs -0" 123
if command -v parallel >/dev/null 2>&1; then
  run_recipe "GNU parallel" "parallel -0" 3
else
  echo "parallel not found: GNU parallel's recipe is passed over"
fi

# The Slurm array: all four directories in one task, its submission lines
# without sbatch.
new_campaign
status=0
(
  cd "$scratch/run" && cp -- "$scratch/convert.sbatch" . &&
    readme_block 'find "$PWD/campaign"' | grep -v '^sbatch' | bash &&
    SLURM_ARRAY_TASK_ID=1 PER_TASK=4 bash convert.sbatch &&
    cat outcomes/*.tsv >outcomes.tsv
) 2>"$scratch/slurm.log" || status=$?
check "Slurm array task: exit status" 1 "$status"
cat "$scratch/run/outcomes/"*.tsv >"$scratch/run/outcomes.tsv" 2>/dev/null
check_recipe "Slurm array task"

finish_checks
