#!/usr/bin/env bash
# Installs the library from a build tree into a temporary prefix, builds the
# tiny host project against the installed files twice, through
# find_package(VekMain CONFIG) and through pkg-config, checks that each
# build loads the installed library, and runs it.
#
# packaging_test.sh <cmake> <build dir> <host source dir> <libdir> <c++> [extra flags]
# The extra flags (the sanitizer options of a sanitizer build) go to both
# host builds, since a host must share the library's sanitizer runtime.
set -euo pipefail
cmake_cmd=$1 build_dir=$2 host_dir=$3 libdir=$4 cxx=$5 extra_flags=${6:-}

work=$(mktemp -d "${TMPDIR:-/tmp}/vek-packaging-XXXXXX")
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix

step() { echo "== $*"; }

# Runs a host binary and checks that it resolved libVekMain inside the prefix,
# not from the build tree or the system.
run_host() {
  local binary=$1
  # grep reads all of ldd's output: with -q it could stop early, ldd would
  # die of SIGPIPE and pipefail would count the pipeline as failed.
  if ! ldd "$binary" | grep "libVekMain.so.* => $prefix/" >/dev/null; then
    echo "$binary does not load libVekMain from $prefix:" >&2
    ldd "$binary" >&2
    return 1
  fi
  "$binary"
}

step "install into $prefix"
"$cmake_cmd" --install "$build_dir" --prefix "$prefix" >/dev/null
test -f "$prefix/$libdir/cmake/VekMain/VekMainConfig.cmake"
test -f "$prefix/$libdir/pkgconfig/vekmain.pc"
test -f "$prefix/include/VekMain/Vek.h"

step "host through find_package(VekMain CONFIG)"
"$cmake_cmd" -S "$host_dir" -B "$work/cmake-host" -DCMAKE_PREFIX_PATH="$prefix" \
  -DCMAKE_CXX_COMPILER="$cxx" -DCMAKE_CXX_FLAGS="$extra_flags" >/dev/null
"$cmake_cmd" --build "$work/cmake-host" >/dev/null
run_host "$work/cmake-host/vek_host"

step "host through pkg-config"
mkdir -p "$work/pc-host"
export PKG_CONFIG_PATH=$prefix/$libdir/pkgconfig
read -r -a pc_flags <<<"$(pkg-config --cflags --libs vekmain)"
read -r -a more_flags <<<"$extra_flags"
"$cxx" -std=c++17 "${more_flags[@]}" "$host_dir/main.cpp" -o "$work/pc-host/vek_host" "${pc_flags[@]}"
run_host "$work/pc-host/vek_host"
