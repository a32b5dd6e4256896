#!/usr/bin/env bash
# A longer fuzz run than the test command's: every fuzz target for the given
# number of seconds each (default 600), with its seed corpus and dictionary.
# Findings are written to build-fuzz/findings/<target>/.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
seconds=${1:-600}

scripts/install-deps.sh
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DSLIDEMILL_FUZZ=ON \
  -DSLIDEMILL_SANITIZE=ON -DSLIDEMILL_TESTS=OFF -DSLIDEMILL_BENCH=OFF >/dev/null
cmake --build build-fuzz

for source in */*_fuzz.cc; do
  name=$(basename "$source" .cc)
  corpus="$(dirname "$source")/fuzz_corpus/$name"
  dict="$(dirname "$source")/$name.dict"
  findings="build-fuzz/findings/$name"
  mkdir -p "$findings/corpus"
  [ -d "$corpus" ] && cp -r "$corpus"/. "$findings/corpus"/
  options=(-max_total_time="$seconds" -max_len=4096 -artifact_prefix="$findings/")
  [ -f "$dict" ] && options+=(-dict="$dict")
  echo "== $name for $seconds s"
  build-fuzz/"$name" "${options[@]}" "$findings/corpus" 2>&1 | tail -n 3
done
