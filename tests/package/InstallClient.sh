#!/usr/bin/env bash
# Installs the build into a temporary prefix, then builds the installed examples/hello.c as
# an application would, against the installed files only: once through pkg-config and once
# through find_package in a CMake project of its own. Both run on the sample map library and
# must draw the same picture; the installed program must run from its prefix.
# Arguments: BUILD-DIR LIBDIR C-COMPILER CONSUMER-PROJECT SAMPLE-MAPLIB [EXTRA-FLAGS]
set -euo pipefail
build=$1 libdir=$2 cc=$3 consumer=$4 sample=$5 flags=${6:-}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix

cmake --install "$build" --prefix "$prefix" >/dev/null
lib=$prefix/$libdir
[ "$(readlink "$lib/libvelmira.so")" = libvelmira.so.1 ] || { echo "bad link libvelmira.so"; exit 1; }
[ -f "$lib/$(readlink "$lib/libvelmira.so.1")" ] || { echo "bad link libvelmira.so.1"; exit 1; }
"$prefix/bin/velmira" --help >/dev/null
cp "$prefix/share/doc/velmira/examples/hello.c" "$work/"

# Only the temporary prefix is searched, so an installed copy elsewhere cannot stand in.
export PKG_CONFIG_LIBDIR=$lib/pkgconfig PKG_CONFIG_PATH=
read -r -a pc <<<"$(pkg-config --cflags --libs velmira)"
# shellcheck disable=SC2086
"$cc" -std=c99 -Wall -Wextra -Wpedantic -Werror $flags "$work/hello.c" "${pc[@]}" \
  -Wl,-rpath,"$(pkg-config --variable=libdir velmira)" -o "$work/hello-pc"
"$work/hello-pc" "$sample" "$work/pc.png"

cmake -S "$consumer" -B "$work/consumer" -G Ninja -DCMAKE_C_COMPILER="$cc" \
  -DCMAKE_C_FLAGS="$flags" -DCMAKE_EXE_LINKER_FLAGS="$flags" -DCMAKE_PREFIX_PATH="$prefix" \
  -DEXPECTED_PREFIX="$prefix" -DHELLO_SOURCE="$work/hello.c" >/dev/null
cmake --build "$work/consumer" >/dev/null
"$work/consumer/hello" "$sample" "$work/cmake.png" >/dev/null
cmp "$work/pc.png" "$work/cmake.png"
