#!/usr/bin/env bash
# Builds Slidemill, makes a small sample photo tree in sample/ and turns each
# photo directory into a titled video twice: with mencoder (_movie.avi) and
# with ffmpeg (_movie.mp4), so a phone's portrait and rotated photos show the
# difference.
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
# A phone's photos: a landscape one, a portrait one, and one stored sideways
# with EXIF orientation 6 ("turn right to view"), as cameras do.
make_photos "2021 Phone" 1 jpg "2021-08-01 16:00"
ffmpeg -loglevel error -f lavfi -i "testsrc=size=240x320" -frames:v 1 "sample/2021 Phone/photo_002.jpg"
ffmpeg -loglevel error -f lavfi -i "testsrc=size=320x240" -vf transpose=2 -frames:v 1 -f mjpeg - |
  { head -c 2
    printf '\xff\xe1\x00\x22Exif\x00\x00MM\x00\x2a\x00\x00\x00\x08\x00\x01\x01\x12\x00\x03\x00\x00\x00\x01\x00\x06\x00\x00\x00\x00\x00\x00'
    cat; } >"sample/2021 Phone/photo_003.jpg"
touch -d "2021-08-01 16:00" "sample/2021 Phone"/*.jpg
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
echo "Running again with ffmpeg: photos upright and in proportion, as H.264 in MP4:"
echo "  build/slidemill -dir sample -r -encoder ffmpeg -video-size 1280x720 -subtitle-text \"Trip {MonthModified}/{DayModified}/{YearModified}\" -video-frames-per-second 2 -log-path ./sample/slidemill.log"
build/slidemill -dir sample -r -encoder ffmpeg -video-size 1280x720 \
  -subtitle-text "Trip {MonthModified}/{DayModified}/{YearModified}" \
  -video-frames-per-second 2 -log-path ./sample/slidemill.log

echo
echo "Videos made:"
find sample -name '_movie.*' | sort | while read -r video; do
  info=$(ffprobe -v error -count_frames -select_streams v:0 \
    -show_entries stream=codec_name,width,height,nb_read_frames -of csv=p=0 "$video")
  title=$(sed -n 3p "$(dirname "$video")/_title.srt" | tr -d '\r')
  echo "  $video: $info (codec,width,height,frames), title \"$title\""
done
echo
echo "Compare sample/2021 Phone/_movie.avi (mencoder: the portrait photo stretched, the"
echo "rotated one sideways) with sample/2021 Phone/_movie.mp4 (ffmpeg: both upright)."
echo
echo "Log (sample/slidemill.log):"
sed 's/^/  /' sample/slidemill.log
