#!/bin/sh
# Installs the Debian/Ubuntu packages the build, the tests and the demo need.
# As root it runs apt-get; otherwise it prints the exact command and stops.
set -eu

# GStreamer's plug-ins decode MP3, FLAC and Ogg Vorbis for the stand-in
# player under Wine; the encoders and PulseAudio serve its tests.
packages="cmake make g++ clang libclang-rt-dev
  mingw-w64 g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix binutils-mingw-w64
  wine64 xvfb xauth
  googletest libbenchmark-dev
  pkg-config libcairo2-dev libfreetype-dev libstb-dev fonts-dejavu-core
  nsis p7zip-full zip unzip file imagemagick
  gstreamer1.0-plugins-base gstreamer1.0-plugins-good
  lame flac vorbis-tools pulseaudio pulseaudio-utils"

missing=
for package in $packages; do
    status=$(dpkg-query -W -f='${db:Status-Status}' "$package" 2>/dev/null || true)
    [ "$status" = installed ] || missing="$missing $package"
done
[ -z "$missing" ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
    echo "These packages are missing. Install them, then run this again:" >&2
    echo "  sudo apt-get update && sudo apt-get install -y --no-install-recommends$missing" >&2
    exit 1
fi
echo "Installing:$missing"
export DEBIAN_FRONTEND=noninteractive
apt-get update -q
# shellcheck disable=SC2086
apt-get install -y -q --no-install-recommends $missing
