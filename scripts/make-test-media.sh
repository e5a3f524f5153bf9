#!/bin/sh
# Generates the small test clips used by the media tests, benchmarks and examples.
# Usage: make-test-media.sh OUTPUT_DIR
# Every clip is 3 seconds of a synthetic test picture, 320x240 at 25 frames per second:
#   clip.avi  MPEG-4 video with 16-bit PCM stereo audio
#   clip30.avi the same at 30 frames per second
#   clip.mpg  MPEG-1 video, no audio
#   clip.mov  H.264 video, no audio
#   sound.wav 3 seconds of a 440 Hz tone; short.wav 0.3 seconds of it
# Existing files are replaced; each is written under a temporary name first.
set -eu
out=${1:?usage: make-test-media.sh OUTPUT_DIR}
mkdir -p "$out"
ff() { ffmpeg -nostdin -hide_banner -loglevel error -y "$@"; }
video="testsrc=size=320x240:rate=25:duration=3"
video30="testsrc=size=320x240:rate=30:duration=3"
tone="sine=frequency=440:sample_rate=44100:duration=3"

ff -f lavfi -i "$video" -f lavfi -i "$tone" -ac 2 \
   -c:v mpeg4 -q:v 5 -c:a pcm_s16le -shortest "$out/clip.avi.tmp.avi"
mv "$out/clip.avi.tmp.avi" "$out/clip.avi"
ff -f lavfi -i "$video30" -f lavfi -i "$tone" -ac 2 \
   -c:v mpeg4 -q:v 5 -c:a pcm_s16le -shortest "$out/clip30.avi.tmp.avi"
mv "$out/clip30.avi.tmp.avi" "$out/clip30.avi"
ff -f lavfi -i "$video" -an -c:v mpeg1video -b:v 800k -f mpeg "$out/clip.mpg.tmp"
mv "$out/clip.mpg.tmp" "$out/clip.mpg"
ff -f lavfi -i "$video" -an -c:v libx264 -preset veryfast -pix_fmt yuv420p "$out/clip.mov.tmp.mov"
mv "$out/clip.mov.tmp.mov" "$out/clip.mov"
ff -f lavfi -i "$tone" -c:a pcm_s16le "$out/sound.wav.tmp.wav"
mv "$out/sound.wav.tmp.wav" "$out/sound.wav"
ff -f lavfi -i "sine=frequency=440:sample_rate=44100:duration=0.3" -c:a pcm_s16le "$out/short.wav.tmp.wav"
mv "$out/short.wav.tmp.wav" "$out/short.wav"
