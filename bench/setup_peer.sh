#!/bin/sh
# The peer the worker benchmark measures against: Debian's SoundConverter with the GStreamer plug-ins
# its MP3 output needs. For the benchmark only; the program needs none of it.
set -e
sudo=""
[ "$(id -u)" -eq 0 ] || sudo=sudo
$sudo apt-get update
$sudo apt-get install -y --no-install-recommends soundconverter gstreamer1.0-plugins-ugly gstreamer1.0-plugins-good \
    gstreamer1.0-plugins-base
