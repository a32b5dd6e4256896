#!/usr/bin/env bash
# What only the built program can show. Natively: colours on a terminal (the
# whole runs check the terminal's settings afterwards), the usage when there
# are no arguments. Windows, under wine:
# whole runs whose names and encoder paths must reach the encoder intact, the
# deep-folder limits, the job object, and how an encoder is found.
#   tests/cli_test.sh native    build/slidemill
#   tests/cli_test.sh windows   build-windows/slidemill.exe under wine
source "$(dirname "$0")/shell_checks.sh"

if [ "${1:-native}" = native ]; then
  say="$root/build/slidemill -r -say-settings"
  [[ $(script -qec "$say" /dev/null </dev/null) == *$'\e[0;92mSettings'* ]] || fail "no colour on a terminal"
  [[ $(NO_COLOR=1 script -qec "$say" /dev/null </dev/null) == *$'\e'* ]] && fail "colour despite NO_COLOR"
  # Without arguments, the usage and nothing more: no walk of the current directory.
  [[ $(cd "$s" && "$root/build/slidemill" </dev/null) == $'\nPurpose'* ]] || fail "no usage without arguments"
else
  run=("$root/scripts/wine.sh" "$root/build-windows/slidemill.exe")
  w="Z:${s//\//\\}" enc="Z:${root//\//\\}\build-windows\test_encoder.exe"  # through wine's Z: drive
  export SLIDEMILL_TEST_ENCODER_LOG="$w\records.txt"
  # check STATUS STDERR ARGS...: runs the program in the scratch directory;
  # STDERR is a pattern in which LF stands for CR LF.
  check() {
    (cd "$s" && "${run[@]}" "${@:3}" >"$s/out" 2>"$s/err" </dev/null)
    local got=$? want=${2//$'\n'/$'\r\n'} err
    out=$(cat "$s/out") err=$(cat "$s/err"; echo .)
    [ $got = "$1" ] || fail "${*:3}: status $got, not $1"
    [[ ${err%.} == $want ]] || fail "${*:3}: stderr $(printf %q "${err%.}")"
  }
  # has FILE TEXT: the file holds the text.
  has() { [[ $(cat "$1") == *"$2"* ]] || fail "$1 has no $(printf %q "$2"): $(printf %q "$(cat "$1")")"; }
  # photos DIR...: directories of one photo each.
  photos() { for d; do mkdir -p "$d" && printf '\377\330\377' >"$d/p.jpg"; done; }

  # No command interpreter: names that cmd.exe would run or expand (%off% is
  # set), names outside the ANSI code page, and an encoder whose path holds a
  # space and & all arrive exactly, each directory's encoder running in it,
  # five at once: the slow one ends last wherever the walk finds it. A
  # failing encoder's output is logged; a read-only title file is left alone.
  names=('%PATH%' '100%off%x' 'a & b ^! (1)' 'Москва' '日本' '😀')
  o="$s/odd" && photos "${names[@]/#/$o/}" "$o/fail" "$o/ro"
  e="$s/my tools & more" we="$w\my tools & more" && mkdir -p "$e" && cp "$root/build-windows/test_encoder.exe" "$e/e.exe"
  echo SLEEP=3000 >"$o/%PATH%/stand-in" && printf 'EXIT=3\nOUTPUT=80\n' >"$o/fail/stand-in"
  echo mine >"$o/ro/_title.srt" && chmod a-w "$o/ro/_title.srt"
  off=X check 6 $'2 of 8 videos failed.\n' -dir odd -r -jobs 5 -mencoder-path "$we\e.exe" \
    -video-filename "{Dir}.avi" -subtitle-text x -log-path "$w\odd.log"
  for n in "${names[@]}"; do
    [ "$(grep -cxF "dir=$w\odd\\$n" "$s/records.txt")" = 1 ] || fail "$n: its encoder did not run once in it"
    [ -f "$o/$n.avi" ] || fail "$n: no video beside it"
    [ -f "$o/$n/_title.srt" ] || fail "$n: no title file"
  done
  has "$s/odd.log" "odd\fail"$'\r\n'"    Mencoder exited with an error code: 3"$'\r\n'"    ###"
  has "$s/odd.log" " odd\%PATH%"$'\r\n'"    Encoding complete."$'\r\n'"    2 of 8 videos failed."
  has "$s/out" "Error opening title file: Permission denied (odd\ro\_title.srt)"
  [ "$(cat "$o/ro/_title.srt")" = mine ] || fail "a read-only title file was replaced"

  # Folders of lengths on each side of each edge, a photo in each: with each
  # encoder, with a title and without, each ends with its video if its
  # longest path fits in 259 characters, else it is said once (console and
  # log) and failed, leaving nothing. The longest name is a title of 36 or
  # the video's part (34); the photos' wildcard needs 6, a listing 2, a
  # record 0.
  wd="$w\deep" && t="-subtitle-text x -srt-filename $(printf 't%.0s' {1..32}).srt"
  for len in 222 223 224 225 226 234 252 253 257 258 259 260 262; do
    photos "$s/deep/$(printf 'd%.0s' $(seq $((len - ${#wd} - 1))))"
  done
  for c in "mencoder 34" "ffmpeg 34" "mencoder 36 $t" "ffmpeg 36 $t"; do
    read -r encoder longest title <<<"$c" && fits=$((258 - longest)) && : >"$s/deep.log"
    # shellcheck disable=SC2086  # the title's options split at spaces
    check 6 $'* of 13 videos failed.\n' -dir "$wd" -r -encoder $encoder -$encoder-path "$enc" \
      -log-path "$w\deep.log" $title
    for d in "$s"/deep/*; do
      wdd="$wd\\${d##*/}" && long=$((${#wdd} > fits)) && said="Passed over, its path is too long: $wdd"$'\r'
      [ "$(grep -cxF "$said" <<<"$out")" = $long ] || fail "$c: ${#wdd}: not said $long times"
      [ "$(grep -cxF "    $said" "$s/deep.log")" = $long ] || fail "$c: ${#wdd}: not logged $long times"
      made=$(find "$d" -name '_movie.*' -size +0 | wc -l)
      [ $made = $((1 - long)) ] || fail "$c: ${#wdd}: made $made videos"
      rm -f "$d"/_movie.{avi,mp4} "$d"/t*.srt
      [ "$(ls -A "$d")" = p.jpg ] || fail "$c: ${#wdd}: left behind: $(ls -A "$d")"
    done
  done

  # An encoder is found as the command interpreter finds it: through a
  # quoted PATH entry among empty ones, with an extension of PATHEXT. One that
  # cannot be found or started is named; a batch file is refused.
  photos "$s/one" && cp "$e/e.exe" "$e/mencoder.exe"
  WINEPATH=";\"$we\";" check 0 '' -dir one
  check 0 '' -dir one -mencoder-path "$we\e"
  check 5 $'\nError starting encoder: mencoder.exe: File not found\n' -dir one
  printf junk >"$s/bad.exe"
  check 5 $'\nError starting encoder: Bad EXE format for Z:*\\bad.exe\n' -dir one -mencoder-path "$w\bad.exe"
  printf '@echo off\r\n' >"$s/e.bat"
  check 5 $'\nError starting encoder: A batch file cannot be the encoder: *' -dir one -mencoder-path "$w\e.bat"

  # Killed outright, the program takes its encoder along (its job object).
  echo SLEEP=4000 >"$s/one/stand-in" && rm -f "$s/records.txt"
  "${run[@]}" -dir "$w\one" -mencoder-path "$enc" >/dev/null 2>&1 </dev/null &
  # Once its part is made, the encoder is starting.
  for _ in $(seq 100); do compgen -G "$s/one/*.slidemill-part-*" >/dev/null && break; sleep 0.1; done
  sleep 1 && kill -KILL $! && { wait $!; } 2>/dev/null; sleep 5
  [ -e "$s/records.txt" ] && fail "the encoder ran on after the program was killed"
fi

finish "cli_test (${1:-native})"
