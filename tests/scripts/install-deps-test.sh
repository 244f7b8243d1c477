#!/usr/bin/env bash
# scripts/install-deps on a system without apt-get and dpkg-query, simulated
# by a PATH that holds every command of this machine but those two (and a
# sudo that records being called): it installs nothing and asks for nothing
# when the build's needs are met, and names each missing one otherwise.
set -u

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
. "$root/tests/support/shell-test.sh"

bin="$scratch/bin"
mkdir -p "$bin"
# The first folder on PATH that has a name wins, as in a lookup; the links are
# made by one ln, since a fork per program took most of this test's time.
IFS=: read -ra folders <<< "$PATH"
declare -A seen=()
targets=()
for folder in "${folders[@]}"; do
  for program in "$folder"/*; do
    name="${program##*/}"
    case "$name" in apt-get|dpkg-query|sudo) continue ;; esac
    [ -n "${seen[$name]+x}" ] && continue
    [ -x "$program" ] || continue
    seen[$name]=1
    targets+=("$program")
  done
done
ln -s -t "$bin" "${targets[@]}"
stub() {  # name script-body
  rm -f "$bin/$1"
  printf '#!/bin/sh\n%s\n' "$2" > "$bin/$1"
  chmod +x "$bin/$1"
}
stub sudo "echo \"\$*\" >> '$scratch/sudo.log'; exit 1"

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
rm "$bin/cmake"
stub pkg-config "for a; do [ \"\$a\" = epoxy ] && exit 1; done; exec '$real_pkgconfig' \"\$@\""
out="$(PATH="$bin" "$root/scripts/install-deps" 2>&1)"
status=$?
[ "$status" -eq 1 ] || fail "no cmake: exit status $status, expected 1: $out"
expect_contains "no cmake" "$out" "cmake"
expect_contains "no cmake" "$out" "pkg-config module epoxy"
stub cmake "exec '$real_cmake' \"\$@\" -DCMAKE_DISABLE_FIND_PACKAGE_glslang=ON"
out="$(PATH="$bin" "$root/scripts/install-deps" 2>&1)"
status=$?
[ "$status" -eq 1 ] || fail "no glslang: exit status $status, expected 1: $out"
expect_contains "no glslang" "$out" "CMake package glslang"
case "$out" in *"CMake package SDL2"*) fail "no glslang: SDL2 named as missing too: $out" ;; esac
[ -e "$scratch/sudo.log" ] && fail "sudo was called: $(cat "$scratch/sudo.log")"

finish "install-deps without apt: all cases passed"
