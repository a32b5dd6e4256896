#!/usr/bin/env bash
# Runs the built program as a user would and checks what it prints, on which
# stream, with which line ends, and its exit status.
#   tests/cli_test.sh native    build/slidemill
#   tests/cli_test.sh windows   build-windows/slidemill.exe under wine
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
mode=${1:-native}
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

if [ "$mode" = windows ]; then
  run=("$root/scripts/wine.sh" "$root/build-windows/slidemill.exe")
  eol=$'\r\n'
  sep='\'
  # The scratch directory as Windows sees it through wine's Z: drive.
  wscratch="Z:${scratch//\//\\}"
else
  run=("$root/build/slidemill")
  eol=$'\n'
  sep=/
  wscratch=$scratch
fi

failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

# run_case ARGS...: runs the program in the scratch directory; leaves stdout,
# stderr and the status in $out, $err and $status. A trailing marker keeps
# the line ends that command substitution would drop.
run_case() {
  (cd "$scratch" && "${run[@]}" "$@" >"$scratch/.out" 2>"$scratch/.err" </dev/null)
  status=$?
  out=$(cat "$scratch/.out"; echo .); out=${out%.}
  err=$(cat "$scratch/.err"; echo .); err=${err%.}
}

expect_eq() {  # what, actual, expected
  [ "$2" == "$3" ] || fail "$1: got $(printf %q "$2"), want $(printf %q "$3")"
}
expect_has() {  # what, text, line
  grep -qxF -- "$3" <<<"${2//$'\r'/}" || fail "$1: no line $(printf %q "$3") in $(printf %q "$2")"
}

run_case -version
expect_eq "-version stdout" "$out" "1.00$eol"
expect_eq "-version stderr" "$err" ""
expect_eq "-version status" "$status" 0

run_case -DIR x
expect_eq "-DIR stderr" "$err" "${eol}Invalid argument: -DIR$eol"
expect_eq "-DIR stdout" "$out" "$eol"
expect_eq "-DIR status" "$status" 2

run_case -r -say-settings
expect_eq "-say-settings status" "$status" 0
expect_has "-say-settings" "$out" "-r: True"
expect_has "-say-settings" "$out" "-r-depth: -1"
expect_has "-say-settings" "$out" '-video-codec: "mjpeg"'
[[ "$out" == *$'\e'* ]] && fail "colour codes in redirected output"
if [ "$mode" = windows ]; then
  [[ "${out//$'\r\n'/}" == *$'\n'* ]] && fail "a bare LF in the Windows output"
fi

# Report precedence: settings, then usage, then version; never a summary.
run_case -version -usage -say-settings
expect_eq "precedence status" "$status" 0
[[ "$out" == "${eol}Settings$eol"* ]] || fail "-say-settings wins: $(printf %q "${out:0:40}")"
run_case -version -usage
[[ "$out" == "${eol}Purpose$eol"* ]] || fail "-usage wins over -version"
run_case
[[ "$out" == "${eol}Purpose$eol"* ]] || fail "no arguments prints the usage"
[[ "$out" == *"Job complete."* ]] && fail "a report ends with a summary"
run_case -usage -nope
expect_eq "unknown with -usage" "$status" 2
expect_eq "unknown with -usage stderr" "$err" "${eol}Invalid argument: -nope$eol"

run_case -dir "$wscratch${sep}missing"
expect_eq "missing root status" "$status" 2
expect_eq "missing root stderr" "$err" \
  "${eol}Invalid argument: The directory specified by '-dir' does not exist.$eol"

# Paths in the system's own form: trailing separators go, a root stays.
mkdir -p "$scratch/photos"
run_case -dir "$wscratch${sep}photos${sep}${sep}" -say-settings
expect_has "-dir trimmed" "$out" "-dir: \"$wscratch${sep}photos\""
if [ "$mode" = windows ]; then
  run_case -dir 'C:\' -say-settings
  expect_has "drive root kept" "$out" '-dir: "C:\"'
  run_case -dir '\\host\share\' -say-settings
  expect_has "share kept" "$out" '-dir: "\\host\share"'
else
  run_case -dir / -say-settings
  expect_has "root kept" "$out" '-dir: "/"'
fi

run_case -dir-filter '(ab)*' -say-settings
expect_eq "invalid filter status" "$status" 2
expect_eq "invalid filter stderr" "$err" \
  "${eol}Invalid argument: The pattern specified by '-dir-filter' is not valid.$eol"

run_case -log-path run.log -say-settings
expect_eq "bare log name" "$err" \
  "${eol}Invalid argument: The log file specified by '-log-path' cannot be created.$eol"
run_case -log-path ".${sep}run.log" -say-settings
expect_has "relative log path" "$out" "-log-path: \".${sep}run.log\""
[ -e "$scratch/run.log" ] && fail "validation created the log file"

if [ "$mode" = windows ]; then
  # A whole run under wine: the real cmd.exe named by comspec starts the
  # stand-in encoder in each photo directory.
  tree="$scratch/tree"
  mkdir -p "$tree/a" "$tree/b" "$tree/empty"
  printf 'jpeg' >"$tree/a/p1.jpg"; printf 'jpeg' >"$tree/a/p2.jpg"; printf 'jpeg' >"$tree/b/P1.JPG"
  touch -d "2019-06-05 12:00 UTC" "$tree"/a/*.jpg "$tree"/b/*.JPG
  wtree="$wscratch\tree"
  encoder="Z:${root//\//\\}\build-windows\test_encoder.exe"
  export SLIDEMILL_TEST_ENCODER_LOG="$wscratch\records.txt"
  run_case -dir "$wtree" -r -mencoder-path "$encoder" -subtitle-text "Day {DayModified}{CRLF}x" \
    -log-path "$wscratch\run.log"
  expect_eq "whole run status" "$status" 0
  expect_eq "whole run stderr" "$err" ""
  [[ "$out" == *"Launching mencoder with this command:${eol}${eol}C:\windows\system32\cmd.exe /c $encoder \"mf://*.jpg\" -o \"_movie.avi\" -mf fps=25 -ovc lavc -lavcopts vcodec=mjpeg -font "* ]] \
    || fail "the command through comspec: $(printf %q "$out")"
  records=$(cat "$scratch/records.txt" 2>/dev/null)
  expect_eq "encoder started in each photo directory" "$(grep '^dir=' <<<"$records" | tr -d '\r')" \
    "dir=$wtree\a"$'\n'"dir=$wtree\b"
  expect_eq "title file" "$(od -c "$tree/a/_title.srt" | head -3)" \
    "$(printf '1\r\n00:00:00,000 --> 99:00:00,000\r\nDay 5\r\nx\r\n' | od -c | head -3)"
  [ -f "$tree/a/_movie.avi" ] || fail "no video where the encoder was asked to write it"
  log=$(cat "$scratch/run.log"; echo .)
  [[ "$log" == *" $wtree\a"$'\r\n'"    Encoding complete."$'\r\n'* ]] || fail "log: $(printf %q "$log")"
  [[ "$log" == *" $wtree\empty"$'\r\n'"    No JPG files found in this directory."$'\r\n'* ]] \
    || fail "log of the empty directory: $(printf %q "$log")"

  SLIDEMILL_TEST_ENCODER_EXIT=1 run_case -dir "$wtree\a" -mencoder-path "$encoder" -log-path "$wscratch\run2.log"
  expect_eq "encoder failure status" "$status" 6
  expect_eq "encoder failure stderr" "$err" "1 of 1 videos failed.$eol"
  [[ "$(cat "$scratch/run2.log"; echo .)" == *"    Mencoder exited with an error code: 1"$'\r\n'"    1 of 1 videos failed."$'\r\n.' ]] || fail "encoder failure not logged"

  # A read-only title file is not replaced.
  chmod a-w "$tree/a/_title.srt"
  run_case -dir "$wtree\a" -mencoder-path "$encoder" -subtitle-text changed
  expect_eq "read-only title status" "$status" 3
  expect_eq "read-only title kept" "$(od -c "$tree/a/_title.srt" | head -3)" \
    "$(printf '1\r\n00:00:00,000 --> 99:00:00,000\r\nDay 5\r\nx\r\n' | od -c | head -3)"
  chmod u+w "$tree/a/_title.srt"

  # Names that cmd.exe would read as commands stay text inside the template's
  # quotes; a title file whose name is taken ends the run with status 3.
  mkdir -p "$scratch/odd/a & b (1)"
  printf 'jpeg' >"$scratch/odd/a & b (1)/p.jpg"
  run_case -dir "$wscratch\odd\a & b (1)" -mencoder-path "$encoder" -video-filename "{Dir}.avi"
  expect_eq "odd name status" "$status" 0
  [ -f "$scratch/odd/a & b (1).avi" ] || fail "the video named after an odd directory is missing"
  mkdir -p "$scratch/odd/a & b (1)/_title.srt"
  run_case -dir "$wscratch\odd\a & b (1)" -mencoder-path "$encoder" -subtitle-text x
  expect_eq "title name taken status" "$status" 3
  [[ "$err" == "${eol}Error opening title file: "* ]] || fail "title file report: $(printf %q "$err")"

  # Without comspec there is no interpreter to start: the run ends at once.
  saved_run=("${run[@]}")
  run=("$root/scripts/wine.sh")
  run_case cmd /c "set COMSPEC=&& Z:${root//\//\\}\build-windows\slidemill.exe -dir $wtree\a -mencoder-path $encoder"
  run=("${saved_run[@]}")
  expect_eq "no comspec status" "$status" 5
  [[ "$err" == "${eol}Error starting encoder: "* ]] || fail "no comspec report: $(printf %q "$err")"
  unset SLIDEMILL_TEST_ENCODER_LOG
fi

if [ "$mode" = native ] && command -v script >/dev/null; then
  # On a terminal the report is coloured, unless NO_COLOR says otherwise, and
  # the terminal's settings are the same afterwards.
  tty_out=$(script -qec "stty -g; $root/build/slidemill -r -say-settings; stty -g" /dev/null </dev/null)
  [[ "$tty_out" == *$'\e[0;92mSettings'* ]] || fail "no colour on a terminal"
  before=$(sed -n 1p <<<"$tty_out" | tr -d '\r')
  after=$(tail -n 1 <<<"$tty_out" | tr -d '\r' | sed 's/\x1b\[[0-9;]*m//g')
  expect_eq "terminal restored" "$after" "$before"
  tty_out=$(NO_COLOR=1 script -qec "$root/build/slidemill -r -say-settings" /dev/null </dev/null)
  [[ "$tty_out" == *$'\e'* ]] && fail "colour despite NO_COLOR"
fi

if [ "$failures" -ne 0 ]; then
  echo "cli_test ($mode): $failures failure(s)" >&2
  exit 1
fi
echo "cli_test ($mode): all checks passed"
