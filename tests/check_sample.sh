#!/usr/bin/env bash
# The sample disks' playable recording, extracted by the built melvir, must
# be the clip it was made from and a valid 8-second MPEG-2 transport stream
# (checked with ffprobe and a full decode by ffmpeg).
#
#   bash tests/check_sample.sh NATIVE_BUILD
#
# NATIVE_BUILD holds cli/melvir and the sample disks (target sample-disk).
set -euo pipefail

if (( $# != 1 )); then
  echo "usage: bash tests/check_sample.sh NATIVE_BUILD" >&2
  exit 2
fi
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "$1" && pwd)
for tool in ffprobe ffmpeg; do
  command -v "$tool" > /dev/null || { echo "check_sample.sh: $tool is not installed (apt-get install ffmpeg)" >&2; exit 1; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

for img in sample.img sample-swapped.img; do
  out=$work/${img%.img}.ts
  listed=$("$build/cli/melvir" list "$build/sample/$img")
  listed=${listed%%$'\n'*}
  [[ $listed == "1  Test card 8s  1Mo" ]] || fail "$img: first line is '$listed'"
  "$build/cli/melvir" extract -n 1 -o "$out" --quiet "$build/sample/$img"
  cmp -s "$out" "$root/tests/data/clip.ts" || fail "$img: the extracted stream is not the clip"

  probe=$(ffprobe -v error -show_entries format=format_name,duration:stream=codec_name,codec_type \
          -of default=noprint_wrappers=1 "$out")
  grep -qx 'format_name=mpegts' <<< "$probe" || fail "$img: not a transport stream: $probe"
  grep -qx 'codec_name=mpeg2video' <<< "$probe" || fail "$img: no MPEG-2 video stream"
  grep -qx 'codec_name=mp2' <<< "$probe" || fail "$img: no MPEG audio stream"
  duration=$(sed -n 's/^duration=//p' <<< "$probe")
  awk -v d="$duration" 'BEGIN { exit !(d >= 7.9 && d <= 8.1) }' \
    || fail "$img: duration '$duration', expected 8 s"
  errors=$(ffmpeg -hide_banner -v error -i "$out" -f null - 2>&1 || echo "ffmpeg failed")
  [[ -z $errors ]] || fail "$img: decoding reports: $(head -3 <<< "$errors")"
  frames=$(ffprobe -v error -select_streams v -count_frames -show_entries stream=nb_read_frames \
           -of default=noprint_wrappers=1:nokey=1 "$out")
  frames=${frames%%$'\n'*}  # the stream is listed again under its program
  [[ $frames == 200 ]] || fail "$img: $frames video frames, expected 200 (8 s at 25/s)"
  echo "$img: $(stat -c %s "$out") bytes, ${duration} s, $frames frames"
done

if (( failures )); then
  echo "check_sample.sh: $failures failure(s)"
  exit 1
fi
echo "check_sample.sh: the sample recording is a valid 8-second stream"
