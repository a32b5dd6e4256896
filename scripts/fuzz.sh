#!/usr/bin/env bash
# Runs every fuzz target with its seed corpus and dictionary:
#   scripts/fuzz.sh [seconds]   each target for that long (default 600), keeping
#                               what it finds in build-fuzz/findings/<target>/
#   scripts/fuzz.sh --runs N    each target for N runs on a throwaway copy of
#                               its corpus (what the test command does)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

runs=""
seconds=600
if [ "${1:-}" = "--runs" ]; then
  runs=$2
elif [ -n "${1:-}" ]; then
  seconds=$1
fi

scripts/install-deps.sh
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DSLIDEMILL_FUZZ=ON \
  -DSLIDEMILL_SANITIZE=ON -DSLIDEMILL_TESTS=OFF -DSLIDEMILL_BENCH=OFF >/dev/null
cmake --build build-fuzz
# The command line's dictionary: its own bytes and the option names the
# build made from the table of options.
cat app/command_line_fuzz.dict build-fuzz/slidemill-dictionary >build-fuzz/command_line_fuzz.dict

for source in */*_fuzz.cc; do
  name=$(basename "$source" .cc)
  corpus="$(dirname "$source")/fuzz_corpus/$name"
  dict="$(dirname "$source")/$name.dict"
  [ -f "build-fuzz/$name.dict" ] && dict="build-fuzz/$name.dict"
  if [ -n "$runs" ]; then
    # libFuzzer adds what it finds to the corpus directory: give it a copy.
    work=$(mktemp -d)
    options=(-runs="$runs" -max_len=600)
  else
    work="build-fuzz/findings/$name"
    mkdir -p "$work/corpus"
    options=(-max_total_time="$seconds" -max_len=4096 -artifact_prefix="$work/")
    work="$work/corpus"
  fi
  [ -d "$corpus" ] && cp -r "$corpus"/. "$work"/
  [ -f "$dict" ] && options+=(-dict="$dict")
  echo "== $name"
  build-fuzz/"$name" "${options[@]}" "$work" 2>&1 | tail -n 2
  if [ -n "$runs" ]; then rm -rf "$work"; fi
done
