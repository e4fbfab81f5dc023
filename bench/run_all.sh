#!/usr/bin/env bash
# Runs every benchmark program that was built, one after the other.
set -u
build=${1:-build}
for b in "$build"/bin/bench_*; do
  [ -x "$b" ] || continue
  echo "== $(basename "$b")"
  "$b"
done
