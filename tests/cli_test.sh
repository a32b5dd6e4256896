#!/usr/bin/env bash
# What only the built program can show. Natively: colours on a terminal (the
# whole runs check the terminal's settings afterwards). Windows, under wine:
# CR LF line ends, drive and share roots, the exit statuses, and whole runs
# whose names and encoder paths must reach the encoder intact.
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
    [[ $got == "$status" && $out == $want_out && $err == $want_err && $out != *$'\e'* ]] ||
      fail "$*: status $got, stdout $(printf %q "$out"), stderr $(printf %q "$err")"
  }
  check 0 $'1.00\n' '' -version
  check 2 $'\n' $'\nInvalid argument: -DIR\n' -DIR x
  check 2 $'\n' $'\nInvalid argument: -nope\n' -usage -nope
  check 2 $'\n' $'\nInvalid argument: The directory specified by \'-dir\' does not exist.\n' \
    -dir "$w\missing"
  # Settings, then usage, then version; never a walk after a report.
  check 0 $'\nSettings\n*' '' -version -usage -say-settings -r
  [[ ${out//$'\r\n'/} == *$'\n'* ]] && fail "a bare LF in the Windows output"
  check 0 $'\nPurpose\n*' '' -version -usage
  check 0 $'\nPurpose\n*' ''
  [[ $out == *"Job complete."* ]] && fail "a report ends with a walk"
  check 0 '*-dir: "C:\\"*' '' -dir 'C:\' -say-settings
  check 0 '*-dir: "\\\\host\\share"*' '' -dir '\\host\share\' -say-settings
  check 0 '*' '' -log-path '.\run.log' -say-settings
  [ -e "$s/run.log" ] && fail "validation created the log file"

  t="$s/tree" && wt="$w\tree" && enc="$bin\test_encoder.exe"
  mkdir -p "$t/a" "$t/b" "$t/empty" "$s/a & b (1)"
  for f in a/p1.jpg a/p2.jpg b/P1.JPG "../a & b (1)/p.jpg"; do printf jpeg >"$t/$f"; done
  touch -d "2019-06-05 12:00 UTC" "$t"/a/*.jpg "$t"/b/*.JPG
  printf '1\r\n00:00:00,000 --> 99:00:00,000\r\nDay 5\r\nx\r\n' >"$s/title"
  check 0 '*' '' -dir "$wt" -r -mencoder-path "$enc" -subtitle-text "Day {DayModified}{CRLF}x" \
    -log-path "$w\run.log"
  [[ $out == *"command:"$'\r\n\r\n'"$enc \"mf://*.jpg\" -o \"_movie.slidemill-part.avi\" -mf fps=25 -ovc lavc -lavcopts vcodec=mjpeg -font "* ]] ||
    fail "the command as it runs: $(printf %q "$out")"
  [ "$(grep '^dir=' "$s/records.txt" | tr -d '\r')" = "dir=$wt\a"$'\n'"dir=$wt\b" ] ||
    fail "the encoder did not run once in each photo directory"
  cmp -s "$t/a/_title.srt" "$s/title" || fail "title file"
  [ -f "$t/a/_movie.avi" ] || fail "no video where the encoder was asked to write it"
  [[ $(cat "$s/run.log") == *" $wt\a"$'\r\n'"    Encoding complete."$'\r\n'*" $wt\empty"$'\r\n'"    No JPG files found in this directory."$'\r' ]] ||
    fail "log: $(printf %q "$(cat "$s/run.log")")"
  SLIDEMILL_TEST_ENCODER_EXIT=1 check 6 '*' $'1 of 1 videos failed.\n' -dir "$wt\a" \
    -mencoder-path "$enc" -log-path "$w\run2.log"
  [[ $(cat "$s/run2.log") == *$'\r\n'"    Mencoder exited with an error code: 1"$'\r\n'"    1 of 1 videos failed."$'\r' ]] ||
    fail "the encoder's failure not logged"
  chmod a-w "$t/a/_title.srt"
  check 3 '*' $'\nError opening title file: *' -dir "$wt\a" -mencoder-path "$enc" -subtitle-text new
  cmp -s "$t/a/_title.srt" "$s/title" || fail "a read-only title file was replaced"
  # No command interpreter: names that cmd.exe would run or expand, names
  # outside the ANSI code page, and an encoder whose path holds a space and &
  # all arrive exactly, each directory's encoder running in it.
  names=('%PATH%' '100%off%x' 'a & b ^! (1)' 'Москва' '日本')
  for n in "${names[@]}"; do mkdir -p "$s/odd/$n" && printf jpeg >"$s/odd/$n/p.jpg"; done
  mkdir -p "$s/my tools & more" && cp "$root/build-windows/test_encoder.exe" "$s/my tools & more/e.exe"
  rm -f "$s/records.txt"
  off=X check 0 '*' '' -dir "$w\odd" -r -mencoder-path "$w\my tools & more\e.exe" -video-filename "{Dir}.avi" \
    -subtitle-text x
  for n in "${names[@]}"; do
    grep -qxF -e "dir=$w\odd\\$n" "$s/records.txt" && grep -qxF -e "arg=$w\odd\\$n.slidemill-part.avi" "$s/records.txt" &&
      [ -f "$s/odd/$n.avi" ] && [ -f "$s/odd/$n/_title.srt" ] || fail "the directory $n"
  done
  # Five encoders at once, each in its own directory: the slow one ends
  # last wherever the walk finds it, and a failing one's output is logged.
  printf 'SLEEP=3000\r\n' >"$s/odd/%PATH%/stand-in" && printf 'EXIT=3\r\nOUTPUT=80\r\n' >"$s/odd/日本/stand-in"
  check 6 '*' $'1 of 5 videos failed.\n' -dir "$w\odd" -r -jobs 5 -mencoder-path "$enc" -log-path "$w\jobs.log"
  [[ $(cat "$s/jobs.log") == *"$w\odd\日本"$'\r\n'"    Mencoder exited with an error code: 3"$'\r\n'"    ###"*" $w\odd\%PATH%"$'\r\n'"    Encoding complete."$'\r\n'"    1 of 5 videos failed."$'\r' ]] &&
    [ "$(grep -c 'Encoding complete' "$s/jobs.log")" = 4 ] || fail "several jobs: $(cat "$s/jobs.log")"
  # ffmpeg is started the same way, and its list names each photo exactly.
  o="$s/it's [a]; b,c" && wo="$w\it's [a]; b,c" && mkdir -p "$o" && printf jpeg >"$o/B.JPG" && printf jpeg >"$o/a.jpg"
  rm -f "$s/records.txt"
  check 0 '*' '' -dir "$wo" -encoder ffmpeg -ffmpeg-path "$enc" -subtitle-text x
  [[ $out == *"command:"$'\r\n\r\n'"$enc -hide_banner -loglevel error -stats -y -r 25 -f concat -safe 0 -i \"file:$wo\.slidemill-photos.ffconcat\" -vf "* ]] ||
    fail "ffmpeg's command: $(printf %q "$out")"
  [ "$(grep '^file ' "$s/records.txt" | tr -d '\r')" = "file 'file:${wo//\'/\'\\\'\'}\B.JPG'"$'\n'"file 'file:${wo//\'/\'\\\'\'}\a.jpg'" ] ||
    fail "ffmpeg's list: $(cat "$s/records.txt")"
  [ -f "$o/_movie.mp4" ] && [ ! -e "$o/.slidemill-photos.ffconcat" ] || fail "ffmpeg's video, or its list left behind"
  # A 242-character directory gets its title (its video goes elsewhere: a
  # part name would not fit); one past the limit is said.
  long="$s/long/$(printf 'l%.0s' $(seq $((242 - ${#w} - 6))))"
  mkdir -p "$long/$(printf 'd%.0s' $(seq 30))" && printf jpeg >"$long/p.jpg"
  check 0 $'*\nPassed over, its path is too long: *' '' -dir "$w\long" -r -mencoder-path "$enc" -subtitle-text x -video-filename "$w\long.avi"
  [ -f "$long/_title.srt" ] || fail "no title in a 242-character directory"
  # An encoder that cannot be found or is a batch file ends the run; comspec
  # is not needed.
  check 5 '*' $'\nError starting encoder: *' -dir "$wt\a"
  printf '@echo off\r\n' >"$s/e.bat"
  check 5 '*' $'\nError starting encoder: A batch file cannot be the encoder: *' -dir "$wt\a" -mencoder-path "$w\e.bat"
  run=("$root/scripts/wine.sh" cmd /c)
  check 0 '*' '' "set COMSPEC=&& $bin\slidemill.exe -dir $wt\a -mencoder-path $enc"
fi

finish "cli_test (${1:-native})"
