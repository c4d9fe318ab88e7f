#!/usr/bin/env bash
# Makes tests/data/clip.ts, the sample disk's playable recording. Run once;
# the result is committed, so neither the build nor the tests need ffmpeg.
#
# An 8-second test card with a 440 Hz tone, MPEG-2 video and MPEG-1 Layer II
# audio, multiplexed at a constant 1 Mbit/s like a broadcast service, then
# padded with null packets (PID 0x1FFF) to exactly eight recorder blocks of
# 129344 stream bytes. Eight blocks make a multiple of 512 bytes, so the
# extracted copy equals this file byte for byte.
set -euo pipefail
cd "$(dirname "$0")"

ffmpeg -hide_banner -loglevel error -y \
  -f lavfi -i testsrc=duration=8:size=320x240:rate=25 \
  -f lavfi -i sine=frequency=440:duration=8:sample_rate=48000 \
  -c:v mpeg2video -b:v 600k -g 25 -c:a mp2 -b:a 64k -muxrate 1000000 \
  -fflags +bitexact -flags:v +bitexact -flags:a +bitexact \
  -f mpegts clip.ts

target=$((8 * 129344))
size=$(stat -c %s clip.ts)
if (( size > target || size % 188 != 0 )); then
  echo "make_clip.sh: clip.ts is $size bytes; it must be packets of 188 and at most $target" >&2
  exit 1
fi
null=$(mktemp)
trap 'rm -f "$null"' EXIT
{ printf '\x47\x1f\xff\x10'; head -c 184 /dev/zero | tr '\0' '\377'; } > "$null"
for ((i = 0; i < (target - size) / 188; ++i)); do cat "$null"; done >> clip.ts
echo "clip.ts: $(stat -c %s clip.ts) bytes"
