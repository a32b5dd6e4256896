#!/usr/bin/env bash
# Builds Slidemill, makes a small sample photo tree in sample/ (photos that
# carry the capture time a camera writes into EXIF, a phone's portrait and
# sideways ones among them) and makes a slideshow of each of its folders:
# with ffmpeg when it is installed (else mencoder), two seconds a photo in
# the order they were taken, titled with the folder's name and the day its
# first photo was taken. Then it says where the videos are.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

scripts/install-deps.sh
cmake -S . -B build -G Ninja >/dev/null
cmake --build build --target slidemill

# photo FILE TAKEN [ORIENTATION [FILTER]]: a 640x480 test picture, its colours
# turned by the hue filter, with EXIF saying when it was taken ("2019:06:05
# 10:30:00") and how to turn it (6: a quarter to the right), as a camera
# writes them.
photo() {
  local file=$1 taken=$2 orientation=${3:-1} filter=${4:-null} picture
  mkdir -p "$(dirname "$file")"
  picture=$(mktemp)
  hue=$((hue + 47))
  ffmpeg -loglevel error -y -f lavfi -i "testsrc2=size=640x480" \
    -vf "hue=h=$hue,$filter" -frames:v 1 -f mjpeg "$picture"
  { head -c 2 "$picture"
    printf "\xff\xe1\x00\x54Exif\x00\x00MM\x00\x2a\x00\x00\x00\x08\x00\x02"
    printf "\x01\x12\x00\x03\x00\x00\x00\x01\x00\x0${orientation}\x00\x00"
    printf "\x87\x69\x00\x04\x00\x00\x00\x01\x00\x00\x00\x26\x00\x00\x00\x00"
    printf "\x00\x01\x90\x03\x00\x02\x00\x00\x00\x14\x00\x00\x00\x38\x00\x00\x00\x00"
    printf '%s\0' "$taken"
    tail -c +3 "$picture"; } >"$file"
  rm -f "$picture"
}

rm -rf sample
hue=0
for i in 1 2 3 4; do photo "sample/Rome 2019/IMG_10$i.jpg" "2019:06:05 1$i:30:00"; done
for i in 1 2 3; do photo "sample/Rome 2019/Day 2/IMG_20$i.JPG" "2019:06:06 0$i:15:00"; done
for i in 1 2 3 4 5; do photo "sample/Garden/garden $i.jpeg" "2020:04:12 09:0$i:00"; done
# A phone's photos: a landscape one, a portrait one, and one stored sideways
# with EXIF orientation 6 ("turn right to view"), as cameras do.
photo "sample/Phone/PXL_1.jpg" "2021:08:01 16:00:00"
photo "sample/Phone/PXL_2.jpg" "2021:08:01 16:05:00" 1 "crop=360:480"
photo "sample/Phone/PXL_3.jpg" "2021:08:01 16:10:00" 6 "transpose=2"
mkdir -p "sample/Notes"
echo "no photos here" >"sample/Notes/readme.txt"
echo "Sample photo tree (the files are dated today; their EXIF says when they were taken):"
find sample -type f | sort | sed 's/^/  /'

encoder=mencoder
if command -v ffmpeg >/dev/null; then encoder=ffmpeg; fi
run=(build/slidemill -dir sample -r -encoder "$encoder" -photo-seconds 2 -photo-order taken
  -subtitle-text "{Folder}, {DayTaken}.{MonthTaken}.{YearTaken}" -log-path ./sample/slidemill.log)
[ "$encoder" = ffmpeg ] && run+=(-video-size 1280x720)

echo
echo "What Slidemill would do (-dry-run): each folder's photos and title:"
echo "  $(printf "%q " "${run[@]}")-dry-run"
"${run[@]}" -dry-run | awk '/^Changing to this directory:/ { getline; getline; dir = $0 }
  /^Photos:/ { photos = $2 }
  /^Would write this title:/ { getline; getline; print "  " dir ": " photos " photos, \"" $0 "\"" }'

echo
echo "Running:"
echo "  $(printf "%q " "${run[@]}")"
"${run[@]}" >sample/slidemill.out 2>&1 || { cat sample/slidemill.out; exit 1; }
tail -n 2 sample/slidemill.out | sed 's/^/  /'

echo
echo "Videos made, $encoder, two seconds a photo:"
find sample -name '_movie.*' | sort | while read -r video; do
  seconds=$(ffprobe -v error -show_entries format=duration -of csv=p=0 "$video")
  title=$(sed -n 3p "$(dirname "$video")/_title.srt" | tr -d '\r')
  echo "  $root/$video: ${seconds%.*} s, titled \"$title\""
done
echo
echo "Watch one with any player, for instance: ffplay \"sample/Phone/_movie.mp4\"."
echo "The log is sample/slidemill.log."
