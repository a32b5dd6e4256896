#!/usr/bin/env bash
# The packages as a user gets them.
#   tests/package_test.sh deb   builds the Debian package from build/, installs
#                               it, runs the installed program on real photos
#                               with mencoder, and always removes it again
#   tests/package_test.sh zip   builds the Windows zip from build-windows/ and
#                               runs the program unpacked from it under wine
source "$(dirname "$0")/shell_checks.sh"
installed() { dpkg-query -W -f='${Status}' slidemill 2>/dev/null | grep -q ' installed$'; }

if [ "${1:-deb}" = deb ]; then
  out=$(cd "$root/build" && rm -f slidemill_*.deb && cpack -G DEB 2>&1) || { fail "cpack -G DEB: $out"; exit 1; }
  # A slidemill installed by someone else is not ours to replace or remove.
  installed && { fail "slidemill is installed already"; exit 1; }
  trap 'dpkg -r slidemill >/dev/null 2>&1; rm -rf "$s"' EXIT
  dpkg -i "$root"/build/slidemill_*.deb >/dev/null || fail "dpkg -i"
  mkdir -p "$s/photos/trip"
  ffmpeg -loglevel error -f lavfi -i testsrc=size=160x120:rate=1 -frames:v 3 "$s/photos/trip/p%d.jpg"
  (cd "$s" && slidemill -dir photos -r -subtitle-text Trip >"$s/out" 2>&1) || fail "the installed program's run: $(cat "$s/out")"
  [ -s "$s/photos/trip/_movie.avi" ] || fail "no video from the installed program"
  dpkg -r slidemill >/dev/null || fail "dpkg -r"
else
  out=$(cd "$root/build-windows" && rm -f slidemill-*.zip && cpack -G ZIP 2>&1) || { fail "cpack -G ZIP: $out"; exit 1; }
  unzip -q "$root"/build-windows/slidemill-*.zip -d "$s" || fail "unzip"
  dir=$(echo "$s"/slidemill-*)
  [ "$(cd "$s" && "$root/scripts/wine.sh" "$dir/slidemill.exe" -version)" = $'1.00\r' ] ||
    fail "slidemill.exe -version from the zip"
fi
finish "package checks ($1)"
