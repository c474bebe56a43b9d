#!/usr/bin/env bash
# eigpick inside a parent project (add_subdirectory) on a machine without
# GoogleTest: the parent configures and builds the program and keeps its own
# run_example target, and gets none of eigpick's tests, install rules, package
# configuration, example target or warning flags unless it asks for them.
#
#   tests/build_system/subproject.sh SOURCE_DIR CXX_COMPILER GENERATOR
# shellcheck source-path=SCRIPTDIR source=../support/checks.sh
source "$(dirname -- "${BASH_SOURCE[0]}")/../support/checks.sh"
expect_arguments 3 "SOURCE_DIR CXX_COMPILER GENERATOR" "$@"
source_dir=$(realpath -- "$1")
compiler=$2
generator=$3
new_scratch subproject

parent=$scratch/parent
build=$scratch/build
mkdir -p "$parent"
cat >"$parent/CMakeLists.txt" <<CMAKE
cmake_minimum_required(VERSION 3.25)
project(parent LANGUAGES CXX)
enable_testing()
add_custom_target(run_example COMMAND \${CMAKE_COMMAND} -E echo "run_example of the parent" VERBATIM)
add_subdirectory("$source_dir" eigpick)
add_executable(parent_tool parent_tool.cpp)
target_link_libraries(parent_tool PRIVATE eigpick_core)
CMAKE
echo 'int main() { return 0; }' >"$parent/parent_tool.cpp"

# configure ARGS...: (re)configures the parent; prints the exit status.
configure() {
  cmake -S "$parent" -B "$build" -G "$generator" -DCMAKE_CXX_COMPILER="$compiler" \
    -DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON -DCMAKE_EXPORT_COMPILE_COMMANDS=ON "$@" \
    >>"$scratch/configure.log" 2>&1
  echo $?
}

# build TARGET: builds one target of the parent, output in $scratch/TARGET.log;
# prints the exit status.
build() {
  cmake --build "$build" --target "$1" >"$scratch/$1.log" 2>&1
  echo $?
}

# compile_command SOURCE_NAME: the compile command of one source file.
compile_command() {
  grep -F '"command"' "$build/compile_commands.json" | grep -F "/$1" | head -n 1
}

check "the parent configures without GoogleTest" 0 "$(configure)"
if [[ ! -f $build/CMakeCache.txt ]]; then
  cat "$scratch/configure.log"
  finish_checks
  exit 1
fi

check "the parent builds eigpick" 0 "$(build eigpick)"
mkdir "$scratch/job"
cp -- "$source_dir/examples/hdat.out" "$scratch/job/"
(cd "$scratch/job" && "$build/eigpick/eigpick")
check "that eigpick converts the example" same \
  "$(cmp -s "$scratch/job/fort.50" "$source_dir/examples/fort.50.expected" && echo same)"

check "the parent's run_example is its own" yes \
  "$([[ $(build run_example) == 0 ]] && grep -q "run_example of the parent" "$scratch/run_example.log" && echo yes)"
check "no eigpick_run_example unless asked for" no \
  "$([[ $(build eigpick_run_example) == 0 ]] && echo yes || echo no)"

check "the parent's target links the library" 0 "$(build parent_tool)"
check "eigpick's sources compile with its warnings" yes \
  "$(compile_command src/records/statement.cpp | grep -q -- -Wconversion && echo yes)"
check "the parent's sources compile without them" no \
  "$(compile_command parent_tool.cpp | grep -q -- '-Wconversion\|-Wshadow\|-Wpedantic' && echo yes || echo no)"

check "no eigpick tests in the parent" "Total Tests: 0" \
  "$(cd "$build" && ctest -N 2>&1 | grep -F 'Total Tests')"
check "no package configuration in the parent's build" no \
  "$([[ -e $build/CPackConfig.cmake ]] && echo yes || echo no)"
cmake --install "$build" --prefix "$scratch/prefix" >"$scratch/install.log" 2>&1
check "no eigpick in the parent's install" no \
  "$([[ -e $scratch/prefix/bin/eigpick ]] && echo yes || echo no)"

# Asked for, the install rules and the example target come beside the parent's.
check "the parent configures with eigpick's install and example target" 0 \
  "$(configure -DEIGPICK_INSTALL=ON -DEIGPICK_EXAMPLE_TARGET=ON)"
check "eigpick_run_example builds and matches" yes \
  "$([[ $(build eigpick_run_example) == 0 ]] && grep -q ' matches ' "$scratch/eigpick_run_example.log" && echo yes)"
check "run_example is still the parent's" yes \
  "$([[ $(build run_example) == 0 ]] && grep -q "run_example of the parent" "$scratch/run_example.log" && echo yes)"
cmake --install "$build" --prefix "$scratch/prefix" >"$scratch/install.log" 2>&1
check "eigpick installed on request" yes \
  "$([[ -x $scratch/prefix/bin/eigpick && -f $scratch/prefix/share/man/man1/eigpick.1 ]] && echo yes)"

if ((failed > 0)); then
  echo "--- configure log"
  tail -n 40 "$scratch/configure.log"
fi
finish_checks
