#!/usr/bin/env bash
# The library in a host of its own, found with find_package(eigpick 0.2) in an
# install of the build: conversions of two directories from two threads at
# once (also under ThreadSanitizer, the library built with it), a FIFO fort.50
# whose reader left and a file size limit with the signals at their defaults
# (an eigpick::error for the host, never a signal; fort.50 whole records), and
# a child forked during a run, which must not keep fort.50's lock.
#
#   tests/build_system/library.sh BUILD_DIR SOURCE_DIR
# shellcheck source-path=SCRIPTDIR source=../support/checks.sh
source "$(dirname -- "${BASH_SOURCE[0]}")/../support/checks.sh"
expect_arguments 2 "BUILD_DIR SOURCE_DIR" "$@"
build_dir=$(realpath -- "$1")
source_dir=$(realpath -- "$2")
new_scratch library
generator=$(sed -n 's/^CMAKE_GENERATOR:INTERNAL=//p' "$build_dir/CMakeCache.txt")
compiler=$(sed -n 's/^CMAKE_CXX_COMPILER:[A-Z]*=//p' "$build_dir/CMakeCache.txt")
listing=$source_dir/examples/hdat.out
expected=$source_dir/examples/fort.50.expected

mkdir "$scratch/host"
cp -- "$source_dir/tests/build_system/library_host.cpp" "$scratch/host/"
cat >"$scratch/host/CMakeLists.txt" <<'CMAKE'
cmake_minimum_required(VERSION 3.25)
project(host LANGUAGES CXX)
find_package(eigpick 0.2 CONFIG REQUIRED)
find_package(Threads REQUIRED)
add_executable(library_host library_host.cpp)
target_link_libraries(library_host PRIVATE eigpick::libeigpick Threads::Threads)
CMAKE

# host PREFIX NAME FLAGS: builds the host against the install in PREFIX with
# FLAGS, as $scratch/NAME/library_host; prints the exit status.
host() {
  cmake -S "$scratch/host" -B "$scratch/$2" -G "$generator" -DCMAKE_CXX_COMPILER="$compiler" \
    -DCMAKE_PREFIX_PATH="$1" -DCMAKE_CXX_FLAGS="$3" >"$scratch/$2.log" 2>&1 &&
    cmake --build "$scratch/$2" >>"$scratch/$2.log" 2>&1
  echo $?
}

# job NAME: a job directory holding the example listing.
job() {
  mkdir -p "$scratch/$1"
  cp -- "$listing" "$scratch/$1/hdat.out"
  echo "$scratch/$1"
}

# whole_records FILE: "whole" when FILE is the first records of the expected
# vector file, ending on a record's end.
whole_records() {
  local size
  size=$(stat -c %s -- "$1")
  if [[ $size -lt $(stat -c %s -- "$expected") ]] && cmp -s -n "$size" -- "$1" "$expected" &&
    { [[ $size == 0 ]] || [[ $(tail -c 1 -- "$1" | od -An -c | tr -d ' ') == '\n' ]]; }; then
    echo whole
  else
    echo "not whole records: $size bytes"
  fi
}

# runs COMMAND...: runs the command with SIGPIPE and SIGXFSZ at their
# defaults; prints what it printed and its status, lines joined by "|".
runs() {
  {
    env --default-signal=PIPE,XFSZ timeout -k 5 60 "$@" 2>&1
    echo "status $?"
  } | paste -sd '|'
}

cmake --install "$build_dir" --prefix "$scratch/prefix" >"$scratch/install.log" 2>&1
check "the build installs" 0 "$?"
check "a host finds the library and builds" 0 "$(host "$scratch/prefix" plain "")"
plain=$scratch/plain/library_host

first=$(job one) second=$(job two)
check "two directories from two threads" "$first: converted|$second: converted|status 0" \
  "$(runs "$plain" threads "$first" "$second")"
check "each converted exactly" "same same" \
  "$(cmp -s "$first/fort.50" "$expected" && echo same) $(cmp -s "$second/fort.50" "$expected" && echo same)"

fifo=$scratch/fifo
mkdir "$fifo" && mkfifo "$fifo/hdat.out" "$fifo/fort.50"
check "a FIFO fort.50 whose reader left is an error, not a signal" \
  "error: eigpick: fort.50 (unit 7), statement line 50: cannot write the file: Broken pipe|status 0" \
  "$(runs "$plain" reader-leaves "$fifo" "$listing")"

limited=$(job limited)
check "a file size limit is an error, not a signal" \
  "error: eigpick: fort.50 (unit 7), statement line 102: cannot write the file: File too large|status 0" \
  "$(runs prlimit --fsize=1000 -- "$plain" convert "$limited")"
check "fort.50 ends on a whole record" whole "$(whole_records "$limited/fort.50")"

forked=$scratch/forked
mkdir "$forked" && mkfifo "$forked/hdat.out"
check "a child forked during a run keeps no lock" "converted; after the run the lock is free|status 0" \
  "$(runs "$plain" fork "$forked" "$listing")"

# The library built with ThreadSanitizer, and a host built with it too.
if echo 'int main() {}' | "$compiler" -x c++ -fsanitize=thread -o "$scratch/probe" - >/dev/null 2>&1; then
  cmake -S "$source_dir" -B "$scratch/tsan-build" -G "$generator" -DCMAKE_CXX_COMPILER="$compiler" \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_FLAGS=-fsanitize=thread -DEIGPICK_STATIC=OFF \
    -DEIGPICK_BUILD_TESTS=OFF -DEIGPICK_PYTHON=OFF >"$scratch/tsan.log" 2>&1 &&
    cmake --build "$scratch/tsan-build" --target libeigpick eigpick >>"$scratch/tsan.log" 2>&1 &&
    cmake --install "$scratch/tsan-build" --prefix "$scratch/tsan-prefix" >>"$scratch/tsan.log" 2>&1
  check "the library builds with ThreadSanitizer" 0 "$?"
  check "a host builds with ThreadSanitizer" 0 "$(host "$scratch/tsan-prefix" tsan -fsanitize=thread)"
  first=$(job tsan-one) second=$(job tsan-two)
  check "two directories from two threads under ThreadSanitizer" \
    "$first: converted|$second: converted|status 0" \
    "$(TSAN_OPTIONS=halt_on_error=1 runs "$scratch/tsan/library_host" threads "$first" "$second")"
else
  echo "$compiler cannot build with -fsanitize=thread here: the ThreadSanitizer run is skipped"
fi

finish_checks_with_logs
