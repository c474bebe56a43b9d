#!/usr/bin/env bash
# eigpick inside a parent project (add_subdirectory) on a machine without
# GoogleTest: the parent configures and builds the program and keeps its own
# run_example target, and gets none of eigpick's tests, install rules, package
# configuration, example target or warning flags unless it asks for them. The
# parent converts the example with eigpick::eigpick and links
# eigpick::libeigpick into a program of its own, also as a Release build with
# clang 14 that takes eigpick in with FetchContent. Configured on its own
# without a build type, eigpick is a Release build and says so.
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
if(FETCH)
  include(FetchContent)
  FetchContent_Declare(eigpick SOURCE_DIR "$source_dir")
  FetchContent_MakeAvailable(eigpick)
else()
  add_subdirectory("$source_dir" eigpick)
endif()
add_executable(parent_tool parent_tool.cpp)
target_link_libraries(parent_tool PRIVATE eigpick::libeigpick)
file(MAKE_DIRECTORY \${CMAKE_BINARY_DIR}/job)
add_custom_command(OUTPUT \${CMAKE_BINARY_DIR}/job/fort.50
  COMMAND \${CMAKE_COMMAND} -E copy "$source_dir/examples/hdat.out" hdat.out
  COMMAND \$<TARGET_FILE:eigpick::eigpick>
  WORKING_DIRECTORY \${CMAKE_BINARY_DIR}/job VERBATIM)
add_custom_target(convert_example DEPENDS \${CMAKE_BINARY_DIR}/job/fort.50)
CMAKE
# The parent's own program runs the conversion through the library.
cat >"$parent/parent_tool.cpp" <<'CXX'
#include <eigpick/eigpick.hpp>
int main() {
  try {
    return eigpick::convert(".") == eigpick::outcome::converted ? 0 : 1;
  } catch (const eigpick::error&) {
    return 1;
  }
}
CXX

# configure ARGS...: (re)configures the parent in $build; prints the exit status.
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

# converts_example PROGRAM: "same" when PROGRAM, run in a fresh job directory
# on the example listing, writes the expected fort.50.
converts_example() {
  local job
  job=$(mktemp -d "$scratch/job.XXXXXX")
  cp -- "$source_dir/examples/hdat.out" "$job/"
  [[ -x $1 ]] && (cd "$job" && "$1") && cmp -s "$job/fort.50" "$source_dir/examples/fort.50.expected" && echo same
}

# parent_converts: the parent's eigpick::eigpick command and its own program
# linked with the library each convert the example.
parent_converts() {
  check "eigpick::eigpick converts the example in a custom command" same \
    "$([[ $(build convert_example) == 0 ]] &&
      cmp -s "$build/job/fort.50" "$source_dir/examples/fort.50.expected" && echo same)"
  check "the parent's program links the library" 0 "$(build parent_tool)"
  check "the parent's program converts the example" same "$(converts_example "$build/parent_tool")"
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
check "that eigpick converts the example" same "$(converts_example "$build/eigpick/eigpick")"

check "the parent's run_example is its own" yes \
  "$([[ $(build run_example) == 0 ]] && grep -q "run_example of the parent" "$scratch/run_example.log" && echo yes)"
check "no eigpick_run_example unless asked for" no \
  "$([[ $(build eigpick_run_example) == 0 ]] && echo yes || echo no)"

parent_converts
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

# A Release parent built with clang 14 links the library into its own
# program; this one takes eigpick in with FetchContent. The library's objects
# are plain code any linker reads; the program's own are link-time optimised.
if command -v clang++-14 >/dev/null 2>&1; then
  build=$scratch/build-clang-release
  compiler=clang++-14
  check "a Release parent with clang configures (FetchContent)" 0 \
    "$(configure -DCMAKE_BUILD_TYPE=Release -DFETCH=ON)"
  check "the program's library is link-time optimised" yes \
    "$(compile_command eigpick_core.dir/src/records/statement.cpp | grep -q -- -flto && echo yes)"
  check "the library a parent links is not" no \
    "$(compile_command libeigpick.dir/src/records/statement.cpp | grep -q -- -flto && echo yes || echo no)"
  parent_converts
else
  echo "clang++-14 not found: the Release parent built with clang is skipped"
fi

# On its own, configured without a build type, eigpick is a Release build.
top=$scratch/top-level
cmake -S "$source_dir" -B "$top" -G "$generator" -DEIGPICK_BUILD_TESTS=OFF -DEIGPICK_INSTALL=OFF \
  >"$scratch/top-level.log" 2>&1
check "a top-level build without a build type says it is a Release build" yes \
  "$(grep -q 'eigpick: no CMAKE_BUILD_TYPE given: this is a Release build' "$scratch/top-level.log" && echo yes)"
check "a top-level build without a build type is a Release build" "CMAKE_BUILD_TYPE:STRING=Release" \
  "$(grep '^CMAKE_BUILD_TYPE:' "$top/CMakeCache.txt" 2>&1)"

if ((failed > 0)); then
  echo "--- configure log"
  tail -n 40 "$scratch/configure.log"
fi
finish_checks
