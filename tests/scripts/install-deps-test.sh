#!/usr/bin/env bash
# scripts/install-deps on a system without apt-get and dpkg-query, simulated
# by a PATH that holds every command of this machine but those two (and a
# sudo that records being called): it installs nothing and asks for nothing
# when the build's needs are met, and names each missing one otherwise.
set -u

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
failures=0

fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

bin="$scratch/bin"
mkdir -p "$bin"
IFS=: read -ra folders <<< "$PATH"
for folder in "${folders[@]}"; do
  for program in "$folder"/*; do
    name="${program##*/}"
    case "$name" in apt-get|dpkg-query|sudo) continue ;; esac
    [ -x "$program" ] && [ ! -e "$bin/$name" ] && ln -s "$program" "$bin/$name"
  done
done
printf '#!/bin/sh\necho "$*" >> "%s/sudo.log"\nexit 1\n' "$scratch" > "$bin/sudo"
chmod +x "$bin/sudo"

# 1. Everything the build needs is here: silent success, no sudo.
out="$(PATH="$bin" "$root/scripts/install-deps" 2>&1)"
status=$?
[ "$status" -eq 0 ] || fail "complete system: exit status $status: $out"
[ -z "$out" ] || fail "complete system: it said: $out"
[ -e "$scratch/sudo.log" ] && fail "complete system: sudo was called: $(cat "$scratch/sudo.log")"

# 2. No CMake, a pkg-config module missing, a CMake package missing (hidden
#    from a CMake that otherwise works): each is named, and the status fails.
real_cmake="$(command -v cmake)"
real_pkgconfig="$(command -v pkg-config)"
rm "$bin/cmake" "$bin/pkg-config"
printf '#!/bin/sh\nfor a; do [ "$a" = epoxy ] && exit 1; done\nexec "%s" "$@"\n' "$real_pkgconfig" > "$bin/pkg-config"
chmod +x "$bin/pkg-config"
out="$(PATH="$bin" "$root/scripts/install-deps" 2>&1)"
status=$?
[ "$status" -eq 1 ] || fail "no cmake: exit status $status, expected 1: $out"
for name in "cmake" "pkg-config module epoxy"; do
  case "$out" in *"$name"*) ;; *) fail "no cmake: '$name' is not named in: $out" ;; esac
done
printf '#!/bin/sh\nexec "%s" "$@" -DCMAKE_DISABLE_FIND_PACKAGE_glslang=ON\n' "$real_cmake" > "$bin/cmake"
chmod +x "$bin/cmake"
out="$(PATH="$bin" "$root/scripts/install-deps" 2>&1)"
status=$?
[ "$status" -eq 1 ] || fail "no glslang: exit status $status, expected 1: $out"
case "$out" in *"CMake package glslang"*) ;; *) fail "no glslang: it is not named in: $out" ;; esac
case "$out" in *"CMake package SDL2"*) fail "no glslang: SDL2 named as missing too: $out" ;; esac
[ -e "$scratch/sudo.log" ] && fail "sudo was called: $(cat "$scratch/sudo.log")"

if [ "$failures" -ne 0 ]; then
  echo "$failures failure(s)"
  exit 1
fi
echo "install-deps without apt: all cases passed"
