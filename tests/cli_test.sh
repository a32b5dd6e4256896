#!/usr/bin/env bash
# What only the built program can show. Natively: colours on a terminal (the
# whole runs check the terminal's settings afterwards). Windows, under wine:
# CR LF line ends, the exit statuses, and whole runs whose names and encoder
# paths must reach the encoder intact.
#   tests/cli_test.sh native    build/slidemill
#   tests/cli_test.sh windows   build-windows/slidemill.exe under wine
source "$(dirname "$0")/shell_checks.sh"

if [ "${1:-native}" = native ]; then
  say="$root/build/slidemill -r -say-settings"
  [[ $(script -qec "$say" /dev/null </dev/null) == *$'\e[0;92mSettings'* ]] || fail "no colour on a terminal"
  [[ $(NO_COLOR=1 script -qec "$say" /dev/null </dev/null) == *$'\e'* ]] && fail "colour despite NO_COLOR"
else
  run=("$root/scripts/wine.sh" "$root/build-windows/slidemill.exe")
  w="Z:${s//\//\\}"  # the scratch directory through wine's Z: drive
  bin="Z:${root//\//\\}\build-windows"
  export SLIDEMILL_TEST_ENCODER_LOG="$w\records.txt"
  # check STATUS STDOUT STDERR ARGS...: runs the program in the scratch
  # directory; STDOUT and STDERR are patterns in which LF stands for CR LF.
  check() {
    local status=$1 want_out=${2//$'\n'/$'\r\n'} want_err=${3//$'\n'/$'\r\n'} got; shift 3
    (cd "$s" && "${run[@]}" "$@" >"$s/out" 2>"$s/err" </dev/null)
    got=$? out=$(cat "$s/out"; echo .) err=$(cat "$s/err"; echo .)
    out=${out%.} err=${err%.}
    [ "$got" = "$status" ] || fail "$*: status $got, not $status"
    [[ $out == $want_out ]] || fail "$*: stdout $(printf %q "$out"), not $(printf %q "$want_out")"
    [[ $err == $want_err ]] || fail "$*: stderr $(printf %q "$err"), not $(printf %q "$want_err")"
    [[ $out != *$'\e'* ]] || fail "$*: colours in redirected output"
  }
  # has FILE TEXT: the file holds the text.
  has() { [[ $(cat "$1") == *"$2"* ]] || fail "$1 has no $(printf %q "$2"): $(printf %q "$(cat "$1")")"; }
  check 2 $'\n' $'\nInvalid argument: The directory specified by \'-dir\' does not exist.\n' \
    -dir "$w\missing"
  # Settings, then usage, then version; never a walk after a report.
  check 0 $'\nSettings\n*' '' -version -usage -say-settings -r -log-path '.\run.log'
  [[ ${out//$'\r\n'/} == *$'\n'* ]] && fail "a bare LF in the Windows output"
  [ -e "$s/run.log" ] && fail "validation created the log file"
  check 0 $'\nPurpose\n*' '' -version -usage
  check 0 $'\nPurpose\n*' ''
  [[ $out == *"Job complete."* ]] && fail "a report ends with a walk"

  t="$s/tree" && wt="$w\tree" && enc="$bin\test_encoder.exe"
  mkdir -p "$t/a" "$t/b" "$t/empty"
  for f in a/p1.jpg a/p2.jpg b/P1.JPG; do printf '\377\330\377' >"$t/$f"; done
  touch -d "2019-06-05 12:00 UTC" "$t"/a/*.jpg
  printf '1\r\n00:00:00,000 --> 99:00:00,000\r\nDay 5\r\nx\r\n' >"$s/title"
  check 0 '*' '' -dir "$wt" -r -mencoder-path "$enc" -subtitle-text "Day {DayModified}{CRLF}x" \
    -log-path "$w\run.log"
  has "$s/out" "command:"$'\r\n\r\n'"$enc \"mf://@"
  has "$s/out" "\" -o \"_movie.slidemill-part-"
  [ "$(grep '^dir=' "$s/records.txt" | tr -d '\r')" = "dir=$wt\a"$'\n'"dir=$wt\b" ] ||
    fail "the encoder did not run once in each photo directory: $(grep '^dir=' "$s/records.txt")"
  cmp -s "$t/a/_title.srt" "$s/title" || fail "the title file is not one CR LF cue: $(printf %q "$(cat "$t/a/_title.srt")")"
  has "$s/run.log" " $wt\a"$'\r\n'"    Encoding complete."$'\r\n'
  has "$s/run.log" " $wt\empty"$'\r\n'"    No JPG files found in this directory."$'\r'
  chmod a-w "$t/a/_title.srt"
  check 6 '*' $'1 of 1 videos failed.\n' -dir "$wt\a" -mencoder-path "$enc" -subtitle-text new
  has "$s/out" $'\r\nError opening title file: Permission denied ('"$wt\\a\\_title.srt)"$'\r\n'
  cmp -s "$t/a/_title.srt" "$s/title" || fail "a read-only title file was replaced"
  # No command interpreter: names that cmd.exe would run or expand, names
  # outside the ANSI code page, and an encoder whose path holds a space and &
  # all arrive exactly, each directory's encoder running in it.
  names=('%PATH%' '100%off%x' 'a & b ^! (1)' 'Москва' '日本')
  for n in "${names[@]}"; do mkdir -p "$s/odd/$n" && printf '\377\330\377' >"$s/odd/$n/p.jpg"; done
  e="$s/my tools & more" && mkdir -p "$e" && cp "$root/build-windows/test_encoder.exe" "$e/e.exe"
  rm -f "$s/records.txt"
  off=X check 0 '*' '' -dir "$w\odd" -r -mencoder-path "$w\my tools & more\e.exe" -video-filename "{Dir}.avi" \
    -subtitle-text x
  for n in "${names[@]}"; do
    grep -qxF -e "dir=$w\odd\\$n" "$s/records.txt" || fail "$n: no encoder ran in it"
    [ -f "$s/odd/$n.avi" ] || fail "$n: no video beside it"
    [ -f "$s/odd/$n/_title.srt" ] || fail "$n: no title file"
  done
  # Five encoders at once, each in its own directory: the slow one ends
  # last wherever the walk finds it, and a failing one's output is logged.
  printf 'SLEEP=3000\r\n' >"$s/odd/%PATH%/stand-in" && printf 'EXIT=3\r\nOUTPUT=80\r\n' >"$s/odd/日本/stand-in"
  check 6 '*' $'1 of 5 videos failed.\n' -dir "$w\odd" -r -jobs 5 -mencoder-path "$enc" -log-path "$w\jobs.log"
  has "$s/jobs.log" "$w\odd\日本"$'\r\n'"    Mencoder exited with an error code: 3"$'\r\n'"    ###"
  has "$s/jobs.log" " $w\odd\%PATH%"$'\r\n'"    Encoding complete."$'\r\n'"    1 of 5 videos failed."
  # ffmpeg is started the same way, and its list names each photo exactly.
  o="$s/it's [a]; b,c" && wo="$w\it's [a]; b,c" && mkdir -p "$o" && printf '\377\330\377' >"$o/B.JPG" && printf '\377\330\377' >"$o/a.jpg"
  rm -f "$s/records.txt"
  check 0 '*' '' -dir "$wo" -encoder ffmpeg -ffmpeg-path "$enc" -subtitle-text x
  has "$s/out" "command:"$'\r\n\r\n'"$enc -nostdin -hide_banner "
  has "$s/out" " -i \"file:"
  q=${wo//\'/\'\\\'\'}  # a quote in ffmpeg's list
  [ "$(grep '^file ' "$s/records.txt" | tr -d '\r')" = "file 'file:$q\B.JPG'"$'\n'"file 'file:$q\a.jpg'" ] ||
    fail "ffmpeg's list: $(cat "$s/records.txt")"
  [ -f "$o/_movie.mp4" ] || fail "ffmpeg made no video"
  # Folders of lengths on each side of each edge, a photo in each: with each
  # encoder, with a title and without, each ends with its video if its
  # longest path fits in 259 characters, else it is said once (console and
  # log) and failed, leaving nothing. The longest name is a title of 36 or
  # the video's part (34); the photos' wildcard needs 6, a listing 2, a
  # record 0.
  wd="$w\deep" && srt=$(printf 't%.0s' $(seq 32)).srt
  for len in 222 223 224 225 226 234 252 253 257 258 259 260 262; do
    d="$s/deep/$(printf 'd%.0s' $(seq $((len - ${#wd} - 1))))" && mkdir -p "$d" && printf '\377\330\377' >"$d/p.jpg"
  done
  for c in "mencoder 34" "ffmpeg 34" "mencoder 36 -subtitle-text x -srt-filename $srt" \
    "ffmpeg 36 -subtitle-text x -srt-filename $srt"; do
    read -r encoder longest title <<<"$c" && fits=$((258 - longest)) && : >"$s/deep.log"
    failed=$(ls "$s/deep" | awk -v w=${#wd} -v f=$fits 'w + 1 + length > f' | wc -l)
    # shellcheck disable=SC2086  # the title's options split at spaces
    check 6 '*' "$failed of 13 videos failed."$'\n' -dir "$wd" -r -encoder $encoder \
      -$encoder-path "$enc" -log-path "$w\deep.log" $title
    for d in "$s"/deep/*; do
      wdd="$wd\\${d##*/}" && long=$((${#wdd} > fits ? 1 : 0)) && made=0
      said="Passed over, its path is too long: $wdd"
      [ "$(grep -cxF "$said" <<<"${out//$'\r'/}")" = $long ] || fail "$c: ${#wdd}: said $long times"
      [ "$(tr -d '\r' <"$s/deep.log" | grep -cxF "    $said")" = $long ] || fail "$c: ${#wdd}: logged $long times"
      { [ -s "$d/_movie.avi" ] || [ -s "$d/_movie.mp4" ]; } && made=1
      [ $made = $((1 - long)) ] || fail "$c: ${#wdd}: made $made videos"
      rm -f "$d/_movie.avi" "$d/_movie.mp4" "$d/$srt"
      [ "$(ls -A "$d")" = p.jpg ] || fail "$c: ${#wdd}: left behind: $(ls -A "$d")"
    done
  done
  # Killed outright, the program takes its encoder along (its job object).
  mkdir -p "$s/slow" && printf '\377\330\377' >"$s/slow/p.jpg" && printf 'SLEEP=4000\r\n' >"$s/slow/stand-in"
  rm -f "$s/records.txt"
  "${run[@]}" -dir "$w\slow" -mencoder-path "$enc" >/dev/null 2>&1 </dev/null &
  killed=$!  # once its part is made, the encoder is starting
  for _ in $(seq 100); do compgen -G "$s/slow/*.slidemill-part-*" >/dev/null && break; sleep 0.1; done
  sleep 1 && kill -KILL $killed && { wait $killed; } 2>/dev/null; sleep 5
  [ -e "$s/records.txt" ] && fail "the encoder ran on after the program was killed"
  # An encoder is found as the command interpreter finds it: through a
  # quoted PATH entry among empty ones, with an extension of PATHEXT. One that
  # cannot be found or started is named; a batch file is refused; comspec is
  # not needed.
  cp "$root/build-windows/test_encoder.exe" "$e/mencoder.exe"
  WINEPATH=";\"$w\my tools & more\";" check 0 '*' '' -dir "$wt\a"
  check 0 '*' '' -dir "$wt\a" -mencoder-path "$w\my tools & more\e"
  check 5 '*' $'\nError starting encoder: mencoder.exe: File not found\n' -dir "$wt\a"
  printf junk >"$s/bad.exe"
  check 5 '*' $'\nError starting encoder: Bad EXE format for Z:*\\bad.exe\n' -dir "$wt\a" -mencoder-path "$w\bad.exe"
  printf '@echo off\r\n' >"$s/e.bat"
  check 5 '*' $'\nError starting encoder: A batch file cannot be the encoder: *' -dir "$wt\a" -mencoder-path "$w\e.bat"
  run=("$root/scripts/wine.sh" cmd /c)
  check 0 '*' '' "set COMSPEC=&& $bin\slidemill.exe -dir $wt\a -mencoder-path $enc"
fi

finish "cli_test (${1:-native})"
