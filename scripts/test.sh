#!/usr/bin/env bash
# Builds everything and runs every test: the native build and its tests, the
# program's command-line checks, the same tests under AddressSanitizer and
# UndefinedBehaviorSanitizer, the fuzz targets for a bounded number of runs,
# the Windows build with its tests and checks under wine, and then the manual
# page, the bash completion, the Debian package and the Windows zip.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

# Each step says how long the one before it took, and the last line the
# whole run.
started=$SECONDS step_started=$SECONDS step_name=
step() {
  [ -n "$step_name" ] && printf '(%s: %d s)\n' "$step_name" $((SECONDS - step_started))
  step_name=$* step_started=$SECONDS
  printf '\n== %s\n' "$*"
}

# Tests of local time run in a fixed zone nine hours east of UTC, on Linux
# and under wine alike, so day, month and year boundaries are crossed the
# same way everywhere.
export TZ=JST-9

step "installing what is missing"
scripts/install-deps.sh

step "layout (clang-format)"
unformatted=$(git ls-files '*.cc' '*.h' | xargs clang-format --dry-run 2>&1 | { grep -o '^[^:]*:' || true; } | sort -u)
[ -z "$unformatted" ] || { printf 'not formatted as .clang-format says:\n%s\n' "$unformatted" >&2; exit 1; }

step "native build"
cmake -S . -B build -G Ninja -DSLIDEMILL_WERROR=ON >/dev/null
cmake --build build

jobs=$(nproc)
step "native tests"
ctest --test-dir build -j "$jobs" --progress --output-on-failure --timeout 300

step "native command-line checks"
tests/cli_test.sh native

step "the several-machines recipe with GNU parallel"
tests/parallel_recipe_test.sh

step "sanitizer build and tests"
# -O1 keeps the checks and builds and runs quicker than an optimised build.
cmake -S . -B build-asan -G Ninja -DSLIDEMILL_SANITIZE=ON -DSLIDEMILL_BENCH=OFF -DSLIDEMILL_WERROR=ON \
  -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g" >/dev/null
cmake --build build-asan
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build-asan -j "$jobs" --progress --output-on-failure --timeout 600

step "fuzz targets (bounded runs)"
scripts/fuzz.sh --runs "${SLIDEMILL_FUZZ_RUNS:-200000}"

step "Windows build"
cmake -S . -B build-windows -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake \
  -DSLIDEMILL_WERROR=ON >/dev/null
cmake --build build-windows

step "Windows tests under wine"
scripts/wine.sh build-windows/slidemill_tests.exe --gtest_brief=1

step "Windows command-line checks under wine"
tests/cli_test.sh windows

step "manual page lint and bash completion"
lint=$(mandoc -T lint -W warning slidemill.1 2>&1; groff -man -ww -z slidemill.1 2>&1)
[ -z "$lint" ] || { printf '%s\n' "$lint" >&2; exit 1; }
tests/completion_test.sh

step "Debian package: installed, run and removed again"
tests/package_test.sh deb

step "Windows zip, unpacked and run under wine"
tests/package_test.sh zip

step "done"
printf 'All tests passed in %d s.\n' $((SECONDS - started))
