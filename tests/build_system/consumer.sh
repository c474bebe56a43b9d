#!/usr/bin/env bash
# The CMake package: a project that finds an installed eigpick with
# find_package(eigpick 0.1 CONFIG REQUIRED) converts the example with the
# imported program eigpick::eigpick, and a request for a version the package
# does not satisfy fails.
#
#   tests/build_system/consumer.sh BUILD_DIR SOURCE_DIR GENERATOR
# shellcheck source-path=SCRIPTDIR source=../support/checks.sh
source "$(dirname -- "${BASH_SOURCE[0]}")/../support/checks.sh"
expect_arguments 3 "BUILD_DIR SOURCE_DIR GENERATOR" "$@"
build_dir=$(realpath -- "$1")
source_dir=$(realpath -- "$2")
generator=$3
new_scratch consumer

prefix=$scratch/prefix
cmake --install "$build_dir" --prefix "$prefix" >"$scratch/install.log" 2>&1
check "cmake --install" 0 "$?"
check "the package's files are installed" yes \
  "$([[ -f $prefix/share/cmake/eigpick/eigpickConfig.cmake &&
    -f $prefix/share/cmake/eigpick/eigpickConfigVersion.cmake ]] && echo yes)"

# The consumer needs no compiler: it only runs the program.
mkdir "$scratch/consumer"
cat >"$scratch/consumer/CMakeLists.txt" <<CMAKE
cmake_minimum_required(VERSION 3.25)
project(consumer NONE)
find_package(eigpick \${WANTED} CONFIG REQUIRED)
file(MAKE_DIRECTORY \${CMAKE_BINARY_DIR}/job)
add_custom_command(OUTPUT \${CMAKE_BINARY_DIR}/job/fort.50
  COMMAND \${CMAKE_COMMAND} -E copy "$source_dir/examples/hdat.out" hdat.out
  COMMAND \$<TARGET_FILE:eigpick::eigpick>
  WORKING_DIRECTORY \${CMAKE_BINARY_DIR}/job VERBATIM)
add_custom_target(convert_example ALL DEPENDS \${CMAKE_BINARY_DIR}/job/fort.50)
CMAKE

# consumer NAME VERSION: configures a consumer asking for VERSION in
# $scratch/NAME; prints the exit status.
consumer() {
  cmake -S "$scratch/consumer" -B "$scratch/$1" -G "$generator" -DWANTED="$2" \
    -DCMAKE_PREFIX_PATH="$prefix" >"$scratch/$1.log" 2>&1
  echo $?
}

check "find_package(eigpick 0.1) finds the installed package" 0 "$(consumer found 0.1)"
cmake --build "$scratch/found" >"$scratch/build.log" 2>&1
check "the consumer's build converts the example with eigpick::eigpick" same \
  "$(cmp -s "$scratch/found/job/fort.50" "$source_dir/examples/fort.50.expected" && echo same)"
check "the program it runs is the installed one" yes \
  "$(grep -qF "$prefix/bin/eigpick" "$scratch/found/build.ninja" "$scratch/found/Makefile" \
    "$scratch/found/CMakeFiles/convert_example.dir/build.make" 2>/dev/null && echo yes)"
check "find_package(eigpick 0.2) does not take 0.1.0" 1 "$(consumer newer 0.2)"

((failed == 0)) || tail -n 20 -- "$scratch"/*.log
finish_checks
