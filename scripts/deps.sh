#!/usr/bin/env bash
# Installs the Debian packages the project needs, skipping those already present.
#   scripts/deps.sh          build and test dependencies
#   scripts/deps.sh --bench  also the benchmark peers (OpenCV, pixman, libpng, libmypaint, MagickCore)
set -euo pipefail

# Qt 6 Widgets for tfgui; its offscreen platform plugin (tests run without a display) comes with
# libqt6gui6, qt6-qpa-plugins adds the others. The fonts stand in for the program's UI fonts.
# libclang-rt-14-dev: the fuzzer headers the corpus replays build with (and libFuzzer itself).
packages=(cmake ninja-build g++ pkg-config libgtest-dev libgmock-dev libbenchmark-dev
          zlib1g-dev libfreetype-dev libfontconfig-dev python3 python3-numpy python3-scipy python3-psd-tools qt6-base-dev qt6-qpa-plugins fonts-ipafont-gothic fonts-dejavu-core
          libclang-rt-14-dev libpng-dev libjpeg62-turbo-dev python3-pil imagemagick)
# The scanner library (loaded at run time), its test device and its own front end (the tests'
# model of a scan).
packages+=(libsane1 libsane-dev sane-utils)
if [[ "${1:-}" == "--bench" ]]; then
  packages+=(libopencv-dev libpixman-1-dev libpng-dev libmypaint-dev libmagickcore-6.q16-dev)
fi

# Presence tests run no pipelines: under pipefail a reader that stops early (grep -q) kills the
# writer with SIGPIPE and a present package would read as missing.
missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}\n' "$p" 2>/dev/null || true)
  if [[ "$status" != *"install ok installed"* ]]; then
    missing+=("$p")
  fi
done
# iconv's code page 932 tables come with libc on Debian (gconv modules): converting nothing
# from CP932 succeeds only when they are there.
if ! iconv -f CP932 -t UTF-8 </dev/null >/dev/null 2>&1; then
  missing+=(libc-bin)
fi

if ((${#missing[@]})); then
  echo "deps.sh: installing ${missing[*]}"
  sudo_cmd=()
  if [[ $(id -u) -ne 0 ]]; then sudo_cmd=(sudo); fi
  export DEBIAN_FRONTEND=noninteractive
  "${sudo_cmd[@]}" apt-get update -qq
  "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# Tests run real widgets on Qt's offscreen platform; make sure its plugin is there.
offscreen=(/usr/lib/*/qt6/plugins/platforms/libqoffscreen.so)
if [[ ! -e "${offscreen[0]}" ]]; then
  echo "deps.sh: Qt's offscreen platform plugin (libqoffscreen.so) is missing" >&2
  exit 1
fi
