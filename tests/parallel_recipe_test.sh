#!/usr/bin/env bash
# The recipe for sharing a library among several machines, run here with GNU
# parallel: -list0 names the photo directories, and one Slidemill for each
# does that directory alone, with the stand-in encoder.
source "$(dirname "$0")/shell_checks.sh"
lib="$s/my photos"
export SLIDEMILL_TEST_ENCODER_LOG="$s/records.txt"
recipe() {
  "$root/build/slidemill" -dir "$lib" -r -list0 </dev/null |
    parallel --will-cite -0 "$root/build/slidemill" -dir {} -r-depth 0 \
      -mencoder-path "$root/build/test_encoder" >/dev/null 2>&1
}

photo_dirs=("$lib/day one" "$lib/day one/nested day" "$lib/b")
mkdir -p "${photo_dirs[@]}" "$lib/no photos"
for d in "${photo_dirs[@]}"; do printf '\377\330\377' >"$d/p1.jpg"; printf '\377\330\377' >"$d/P2.JPG"; done
printf '\377\330\377' >"$lib/no photos/notes.txt"
recipe || fail "the recipe ended with status $?"
want=$(printf '%s\n' "${photo_dirs[@]}" | sort)
[ "$(find "$lib" -name '_movie*' -size +0 | sort)" = "$(printf '%s/_movie.avi\n' "${photo_dirs[@]}" | sort)" ] ||
  fail "not exactly one finished video in each photo directory: $(find "$lib" -name '_movie*')"
[ "$(sed -n 's/^dir=//p' "$s/records.txt" | sort)" = "$want" ] ||
  fail "the encoder did not run once in each photo directory: $(grep '^dir=' "$s/records.txt")"

# One failed video fails its Slidemill, and so parallel.
echo EXIT=3 >"$lib/b/stand-in"
recipe
status=$?
[ "$status" = 1 ] || fail "one failed directory: parallel's status $status, not 1"

finish "parallel recipe"
