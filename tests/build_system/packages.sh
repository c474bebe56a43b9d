#!/usr/bin/env bash
# What a user gets from the packages and from a stripped install: cpack builds
# the .deb and the tarball from the build tree; each holds a stripped program
# that converts the example exactly, the manual page (gzipped in the .deb) and
# the licence (the .deb a copyright file), the .deb's control fields name the
# package properly, and lintian finds nothing to warn about in the .deb. A
# second run of cpack gives the same bytes, and so do the packages of a second
# clone built under another umask and time zone; the source package holds
# exactly the files of the commit. A project that finds the installed CMake package
# converts the example with eigpick::eigpick.
#
#   tests/build_system/packages.sh BUILD_DIR SOURCE_DIR VERSION
# Exits 77 (skipped) without dpkg-deb, which reads the .deb, dpkg-shlibdeps,
# which cpack needs for it, or lintian.
# shellcheck source-path=SCRIPTDIR source=../support/checks.sh
source "$(dirname -- "${BASH_SOURCE[0]}")/../support/checks.sh"
expect_arguments 3 "BUILD_DIR SOURCE_DIR VERSION" "$@"
build_dir=$(realpath -- "$1")
source_dir=$(realpath -- "$2")
version=$3
for tool in dpkg-deb dpkg-shlibdeps lintian; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "$tool is missing (apt-get install dpkg dpkg-dev lintian): skipped"
    exit 77
  fi
done
for tool in readelf gzip tar; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "$tool is missing (apt-get install binutils gzip tar)" >&2
    exit 2
  fi
done
new_scratch packages
# These packages are made under umask 022, a second clone's under 002.
umask 022

page=$source_dir/docs/eigpick.1
licence=$source_dir/LICENSE

# same FILE EXPECTED: prints "same" when FILE holds exactly EXPECTED's bytes.
same() {
  if [[ -f $1 ]] && cmp -s -- "$1" "$2"; then echo same; else echo "differs or is missing: $1"; fi
}

# symbols PROGRAM: "symbols" when the program still has its symbol table,
# "stripped" when it has none.
symbols() {
  if [[ ! -f $1 ]]; then
    echo "missing: $1"
  elif readelf -S --wide -- "$1" | grep -q ' \.symtab '; then
    echo symbols
  else
    echo stripped
  fi
}

# converts PROGRAM: "exact" when PROGRAM, run in a fresh directory on the
# example listing, succeeds silently and writes the expected fort.50.
converts() {
  local job
  job=$(mktemp -d "$scratch/job.XXXXXX")
  cp -- "$source_dir/examples/hdat.out" "$job/"
  if (cd "$job" && "$1" >"$job/out" 2>&1) && [[ ! -s $job/out ]] &&
    cmp -s "$job/fort.50" "$source_dir/examples/fort.50.expected"; then
    echo exact
  else
    echo "status or output wrong: $(head -c 300 "$job/out")"
  fi
}

# The symbol check means something only if the build's own program has symbols.
check "the build's program is not stripped" symbols "$(symbols "$build_dir/eigpick")"

# cpack_run ARGS...: cpack with nothing set by the caller, so that the
# packages must date themselves by the commit to be reproducible.
cpack_run() { env -u SOURCE_DATE_EPOCH cpack "$@"; }

# ---- the .deb
arch=$(dpkg --print-architecture 2>/dev/null || echo unknown)
deb=$scratch/packages/eigpick_${version}-1_${arch}.deb
cpack_run --config "$build_dir/CPackConfig.cmake" -G DEB -B "$scratch/packages" \
  >"$scratch/cpack-deb.log" 2>&1
check "cpack -G DEB" 0 "$?"
check "the .deb is named eigpick_VERSION-1_ARCH.deb" yes "$([[ -f $deb ]] && echo yes)"

field() { dpkg-deb -f "$deb" "$1" 2>/dev/null; }
check "Package" eigpick "$(field Package)"
check "Version is the project's, package revision 1" "$version-1" "$(field Version)"
check "Architecture is dpkg's" "$arch" "$(field Architecture)"
check "Section" science "$(field Section)"
name_and_address='^[^<]*[^ <] <[^@> ]+@[^@> ]+>$'
check "Maintainer is a name and an address" yes \
  "$([[ $(field Maintainer) =~ $name_and_address ]] && echo yes)"
description=$(field Description)
check "Description has a synopsis" yes "$([[ -n $(head -n 1 <<<"$description") ]] && echo yes)"
check "Description has a long description" yes \
  "$([[ $(wc -l <<<"$description") -ge 3 ]] && echo yes)"

dpkg-deb -x "$deb" "$scratch/deb" 2>"$scratch/deb.log"
check "dpkg-deb -x" 0 "$?"
check "the .deb's program is stripped" stripped "$(symbols "$scratch/deb/usr/bin/eigpick")"
check "the .deb's program converts the example" exact "$(converts "$scratch/deb/usr/bin/eigpick")"
check "the .deb's manual page is gzipped" same \
  "$(gzip -dc "$scratch/deb/usr/share/man/man1/eigpick.1.gz" 2>/dev/null >"$scratch/page" &&
    same "$scratch/page" "$page")"
check "the .deb has no uncompressed manual page" no \
  "$([[ -e $scratch/deb/usr/share/man/man1/eigpick.1 ]] && echo yes || echo no)"
# lintian knows what a distribution asks of a package: among much else a
# dynamically linked, position-independent program, a changelog, and a
# machine-readable copyright file that points to the system's licence. Errors
# and warnings only: its informational tags are advice.
lintian --fail-on error,warning "$deb" >"$scratch/lintian.log" 2>&1
check "lintian: no error and no warning" "0:" "$?:$(grep -E '^[EW]: ' "$scratch/lintian.log")"
check "every file in the .deb belongs to root" "" \
  "$(dpkg-deb -c "$deb" | awk '$2 != "root/root"')"

# ---- the tarball
cpack_run --config "$build_dir/CPackConfig.cmake" -G TGZ -B "$scratch/packages" \
  >"$scratch/cpack-tgz.log" 2>&1
check "cpack -G TGZ" 0 "$?"
tarballs=("$scratch/packages/eigpick-$version-"*.tar.gz)
check "one tarball eigpick-VERSION-*.tar.gz" 1 "$(find "$scratch/packages" -maxdepth 1 -name "eigpick-$version-*.tar.gz" | wc -l)"
mkdir "$scratch/tgz"
tar -xzf "${tarballs[0]}" -C "$scratch/tgz" --strip-components=1 2>/dev/null
check "the tarball's program is stripped" stripped "$(symbols "$scratch/tgz/bin/eigpick")"
check "the tarball's program converts the example" exact "$(converts "$scratch/tgz/bin/eigpick")"
check "the tarball's manual page" same "$(same "$scratch/tgz/share/man/man1/eigpick.1" "$page")"
check "the tarball's licence" same "$(same "$scratch/tgz/share/doc/eigpick/LICENSE" "$licence")"

# ---- the source package and reproducibility
cpack_run --config "$build_dir/CPackSourceConfig.cmake" -B "$scratch/packages" \
  >"$scratch/cpack-source.log" 2>&1
check "cpack, source package" 0 "$?"
in_git=no
git -C "$source_dir" rev-parse --show-toplevel 2>/dev/null | grep -qxF "$source_dir" && in_git=yes
if [[ $in_git == yes ]]; then
  check "the source package holds exactly the files of the commit" "" "$(
    tar -tzf "$scratch/packages/eigpick-$version-Source.tar.gz" | grep -v '/$' |
      sed 's|^[^/]*/||' | sort | diff - <(git -C "$source_dir" ls-tree -r --name-only HEAD | sort)
  )"
else
  echo "not a git checkout (or no git): the source package's files are not compared"
fi
for generator in DEB TGZ; do
  cpack_run --config "$build_dir/CPackConfig.cmake" -G "$generator" \
    -B "$scratch/again" >>"$scratch/cpack-again.log" 2>&1
done
cpack_run --config "$build_dir/CPackSourceConfig.cmake" -B "$scratch/again" \
  >>"$scratch/cpack-again.log" 2>&1
for package in "$scratch/packages"/*.deb "$scratch/packages"/*.tar.gz; do
  check "a second cpack run gives the same $(basename -- "$package")" same \
    "$(same "$scratch/again/$(basename -- "$package")" "$package")"
done

# ---- the packages of a second clone, under umask 002 and another time zone
# Cloned under umask 002, files are 0664 and directories 0775, and cpack stages
# under that umask too: the packages must still be the same bytes. The clone is
# configured as the first build and builds what the packages hold. It is the
# commit, so it is compared only where the tree is that commit.
cache() { sed -n "s/^$1:[A-Z]*=//p" "$build_dir/CMakeCache.txt"; }
second_build() {
  umask 002
  export TZ=XST-13:45
  local type name flags=(-G "$(cache CMAKE_GENERATOR)" -DEIGPICK_BUILD_TESTS=OFF)
  type=$(cache CMAKE_BUILD_TYPE)
  for name in CMAKE_CXX_COMPILER CMAKE_BUILD_TYPE CMAKE_CXX_FLAGS "CMAKE_CXX_FLAGS_${type^^}" \
    CMAKE_EXE_LINKER_FLAGS EIGPICK_STATIC EIGPICK_PACKAGE_MAINTAINER; do
    flags+=("-D$name=$(cache "$name")")
  done
  git clone -q -n "$source_dir" "$scratch/clone" &&
    git -C "$scratch/clone" checkout -q "$(git -C "$source_dir" rev-parse HEAD)" &&
    cmake -S "$scratch/clone" -B "$scratch/clone-build" "${flags[@]}" &&
    cmake --build "$scratch/clone-build" &&
    cpack_run --config "$scratch/clone-build/CPackConfig.cmake" -B "$scratch/second" &&
    cpack_run --config "$scratch/clone-build/CPackSourceConfig.cmake" -B "$scratch/second"
}
if [[ $in_git == no || -n $(git -C "$source_dir" status --porcelain -uno) ]]; then
  echo "no git, or the tree differs from its commit: no second clone's packages are compared"
else
  (second_build) >"$scratch/second-build.log" 2>&1
  check "a second clone builds its packages" 0 "$?"
  for package in "$scratch/packages"/*.deb "$scratch/packages"/*.tar.gz; do
    check "the second clone's ${package##*/}" same "$(same "$scratch/second/${package##*/}" "$package")"
  done
fi

# ---- cmake --install --strip
cmake --install "$build_dir" --prefix "$scratch/prefix" --strip >"$scratch/install.log" 2>&1
check "cmake --install --strip" 0 "$?"
check "the installed program is stripped" stripped "$(symbols "$scratch/prefix/bin/eigpick")"
check "the installed licence" same "$(same "$scratch/prefix/share/doc/eigpick/LICENSE" "$licence")"

# ---- the CMake package: a project that finds it runs eigpick::eigpick
mkdir "$scratch/consumer"
cat >"$scratch/consumer/CMakeLists.txt" <<CMAKE
cmake_minimum_required(VERSION 3.25)
project(consumer NONE)
find_package(eigpick \${WANTED} CONFIG REQUIRED)
add_custom_command(OUTPUT fort.50
  COMMAND \${CMAKE_COMMAND} -E copy "$source_dir/examples/hdat.out" hdat.out
  COMMAND \$<TARGET_FILE:eigpick::eigpick> VERBATIM)
add_custom_target(convert_example ALL DEPENDS fort.50)
CMAKE
generator=$(sed -n 's/^CMAKE_GENERATOR:INTERNAL=//p' "$build_dir/CMakeCache.txt")
# consumer VERSION: configures and builds a consumer asking for VERSION;
# prints the exit status.
consumer() {
  cmake -S "$scratch/consumer" -B "$scratch/consumer-$1" -G "$generator" -DWANTED="$1" \
    -DCMAKE_PREFIX_PATH="$scratch/prefix" >>"$scratch/consumer.log" 2>&1 &&
    cmake --build "$scratch/consumer-$1" >>"$scratch/consumer.log" 2>&1
  echo $?
}
check "find_package(eigpick 0.2): eigpick::eigpick converts the example" "0 same" \
  "$(consumer 0.2) $(same "$scratch/consumer-0.2/fort.50" "$source_dir/examples/fort.50.expected")"
check "find_package(eigpick 0.3) does not take $version" 1 "$(consumer 0.3)"

# ---- python3-eigpick, beside eigpick where the build has the Python module
python=$(sed -n 's/^EIGPICK_PYTHON_EXECUTABLE:INTERNAL=//p' "$build_dir/CMakeCache.txt")
modules=("$build_dir"/python/eigpick.*.so)
python_deb=$scratch/packages/python3-eigpick_${version}-1_${arch}.deb
if [[ -f ${modules[0]} ]]; then
  module=$(basename -- "${modules[0]}")
  site=usr/lib/python3/dist-packages
  check "python3-eigpick: its files and their modes" "$(printf '%s\n' \
    "-rw-r--r-- ./$site/$module" "-rw-r--r-- ./$site/eigpick.pyi" \
    "-rw-r--r-- ./usr/share/doc/python3-eigpick/changelog.Debian.gz" \
    "-rw-r--r-- ./usr/share/doc/python3-eigpick/copyright" \
    "-rw-r--r-- ./usr/share/lintian/overrides/python3-eigpick")" \
    "$(dpkg-deb -c "$python_deb" | awk '$1 !~ /^d/ && $2 == "root/root" { print $1, $6 }' | sort)"
  check "python3-eigpick: Section and Depends" "python python3-numpy" \
    "$(dpkg-deb -f "$python_deb" Section) $(dpkg-deb -f "$python_deb" Depends | grep -o python3-numpy)"
  check "python3-eigpick: every directory is 0755" "" \
    "$(dpkg-deb -c "$python_deb" | awk '$1 ~ /^d/ && $1 != "drwxr-xr-x"')"
  lintian --fail-on error,warning "$python_deb" >"$scratch/lintian-python.log" 2>&1
  check "python3-eigpick: lintian finds no error and no warning" "0:" \
    "$?:$(grep -E '^[EW]: ' "$scratch/lintian-python.log")"
  dpkg-deb -x "$python_deb" "$scratch/python-deb"
  mkdir "$scratch/python-job" && cp -- "$source_dir/examples/hdat.out" "$scratch/python-job/"
  check "python3-eigpick's module converts the example" "converted same" "$(
    PYTHONPATH=$scratch/python-deb/$site "$python" -c 'import eigpick, sys; print(eigpick.convert(sys.argv[1]))' \
      "$scratch/python-job" 2>&1) $(same "$scratch/python-job/fort.50" "$source_dir/examples/fort.50.expected")"
  # The prefix as the interpreter's user base, as ~/.local is.
  check "cmake --install puts the module where its interpreter finds it under the prefix" yes "$(
    imported=$(PYTHONUSERBASE=$scratch/prefix "$python" -c 'import eigpick; print(eigpick.__file__)' 2>&1)
    [[ $imported == "$scratch/prefix/"*"/$module" ]] && echo yes || echo "$imported")"
else
  check "no python3-eigpick without the Python module" no "$([[ -e $python_deb ]] && echo yes || echo no)"
fi

finish_checks_with_logs
