#!/usr/bin/env bash
# What a user gets from the packages and from a stripped install: cpack builds
# the .deb and the tarball from the build tree; each holds a stripped program
# that converts the example exactly, the manual page (gzipped in the .deb) and
# the licence, and the .deb's control fields name the package properly.
#
#   tests/build_system/packages.sh BUILD_DIR SOURCE_DIR VERSION
# Exits 77 (skipped) without dpkg-deb, which reads the .deb.
# shellcheck source-path=SCRIPTDIR source=../support/checks.sh
source "$(dirname -- "${BASH_SOURCE[0]}")/../support/checks.sh"
expect_arguments 3 "BUILD_DIR SOURCE_DIR VERSION" "$@"
build_dir=$(realpath -- "$1")
source_dir=$(realpath -- "$2")
version=$3
if ! command -v dpkg-deb >/dev/null 2>&1; then
  echo "dpkg-deb is missing (apt-get install dpkg): skipped"
  exit 77
fi
for tool in readelf gzip tar; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "$tool is missing (apt-get install binutils gzip tar)" >&2
    exit 2
  fi
done
new_scratch packages

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

# ---- the .deb
arch=$(dpkg --print-architecture 2>/dev/null || echo unknown)
deb=$scratch/packages/eigpick_${version}_${arch}.deb
cpack --config "$build_dir/CPackConfig.cmake" -G DEB -B "$scratch/packages" \
  >"$scratch/cpack-deb.log" 2>&1
check "cpack -G DEB" 0 "$?"
check "the .deb is named eigpick_VERSION_ARCH.deb" yes "$([[ -f $deb ]] && echo yes)"

field() { dpkg-deb -f "$deb" "$1" 2>/dev/null; }
check "Package" eigpick "$(field Package)"
check "Version is the project's" "$version" "$(field Version)"
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
check "the .deb's copyright file is the licence" same \
  "$(same "$scratch/deb/usr/share/doc/eigpick/copyright" "$licence")"
check "every file in the .deb belongs to root" "" \
  "$(dpkg-deb -c "$deb" | awk '$2 != "root/root"')"

# ---- the tarball
cpack --config "$build_dir/CPackConfig.cmake" -G TGZ -B "$scratch/packages" \
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

# ---- cmake --install --strip
cmake --install "$build_dir" --prefix "$scratch/prefix" --strip >"$scratch/install.log" 2>&1
check "cmake --install --strip" 0 "$?"
check "the installed program is stripped" stripped "$(symbols "$scratch/prefix/bin/eigpick")"
check "the installed licence" same "$(same "$scratch/prefix/share/doc/eigpick/LICENSE" "$licence")"

if ((failed > 0)); then
  for log in "$scratch"/*.log; do
    echo "--- $(basename -- "$log")"
    tail -n 20 -- "$log"
  done
fi
finish_checks
