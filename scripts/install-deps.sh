#!/usr/bin/env bash
# Installs, with apt-get, whatever the build, the tests and the demo need and
# the machine lacks. Safe to run again: installed packages are left alone.
set -euo pipefail

packages=(
  cmake ninja-build g++ make        # the native build
  clang libclang-rt-14-dev          # the fuzz targets (libFuzzer)
  libgtest-dev                      # the test framework, found by CMake
  googletest                        # its sources, built for the Windows tests
  clang-format                      # the layout check
  g++-mingw-w64-x86-64-posix        # the Windows build
  wine64                            # runs the Windows build here
  mencoder                          # the encoder Slidemill drives
  ffmpeg                            # the second encoder, sample photos, and ffprobe to check videos
  fonts-dejavu-core fonts-liberation  # two title fonts that must draw differently
  bsdutils procps                   # script (a real terminal) and ps for tests
  locales                           # locale sources, built by the date tests
  strace                            # stops a test run at the moment a title file is renamed
  mandoc                            # lints the manual page (groff comes with man-db)
  man-db                            # man -w finds the installed package's manual page
  dpkg-dev                          # dpkg-shlibdeps: the Debian package's Depends
  unzip                             # unpacks the Windows zip in its test
  parallel                          # GNU parallel: the several-machines recipe test and the encode benchmarks
  openssh-server openssh-client     # the recipe test's second machine: an SSH server of its own on loopback
)

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$package")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=()
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || { echo "install-deps: need root or sudo for: ${missing[*]}" >&2; exit 1; }
  sudo=(sudo)
fi
echo "install-deps: installing ${missing[*]}" >&2
"${sudo[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq "${missing[@]}" >/dev/null
