#!/usr/bin/env bash
# Builds Slidemill, makes a small sample photo tree in sample/ and turns each
# photo directory into a titled video.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

scripts/install-deps.sh
cmake -S . -B build -G Ninja >/dev/null
cmake --build build --target slidemill

# A few directories of photos with known dates, one without any.
rm -rf sample
make_photos() {  # directory, count, extension, date
  mkdir -p "sample/$1"
  ffmpeg -loglevel error -f lavfi -i "testsrc=size=320x240:rate=1" \
    -frames:v "$2" "sample/$1/photo_%03d.$3"
  touch -d "$4" "sample/$1"/*."$3"
}
make_photos "2019 Trip to Rome" 4 jpg "2019-06-05 10:30"
make_photos "2019 Trip to Rome/Day 2" 3 JPG "2019-06-06 18:00"
make_photos "2020 Garden" 5 jpg "2020-04-12 09:15"
mkdir -p "sample/Notes"
echo "no photos here" > "sample/Notes/readme.txt"
echo "Sample photo tree:"
find sample -type f | sort | sed 's/^/  /'

echo
echo "Slidemill's settings for this run:"
build/slidemill -dir sample -r -subtitle-text "Trip {MonthModified}/{DayModified}/{YearModified}" \
  -video-frames-per-second 2 -log-path ./sample/slidemill.log -say-settings

echo
echo "Running:"
echo "  build/slidemill -dir sample -r -subtitle-text \"Trip {MonthModified}/{DayModified}/{YearModified}\" -video-frames-per-second 2 -log-path ./sample/slidemill.log"
build/slidemill -dir sample -r -subtitle-text "Trip {MonthModified}/{DayModified}/{YearModified}" \
  -video-frames-per-second 2 -log-path ./sample/slidemill.log

echo
echo "Videos made:"
find sample -name _movie.avi | sort | while read -r video; do
  frames=$(ffprobe -v error -count_frames -select_streams v:0 -show_entries stream=nb_read_frames \
    -of default=nw=1:nk=1 "$video")
  title=$(sed -n 3p "$(dirname "$video")/_title.srt" | tr -d '\r')
  echo "  $video: $frames frames, title \"$title\""
done
echo
echo "Log (sample/slidemill.log):"
sed 's/^/  /' sample/slidemill.log
