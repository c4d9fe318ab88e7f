#!/usr/bin/env bash
# The recorder disk is never written: scan, extraction and tracing through
# melvir leave a read-only source image with the same hash, and melvir opens
# it for reading only. (The Windows program's run under Wine checks the hash
# of the image it was given in the same way.)
#
#   bash tests/readonly_check.sh NATIVE_BUILD
set -euo pipefail
native=$(cd "$1" && pwd)
melvir=$native/cli/melvir
work=$(mktemp -d)
trap 'chmod -R u+w "$work"; rm -rf "$work"' EXIT

fail() { echo "readonly_check: $*" >&2; exit 1; }

cp "$native/sample/sample.img" "$work/source.img"
chmod 0400 "$work/source.img"
before=$(sha256sum < "$work/source.img")
cd "$work"

# Every open of the image, by every command, is read-only.
strace -f -qq -e trace=open,openat -o opens.txt \
  "$melvir" list --trace source.img > /dev/null
strace -f -qq -e trace=open,openat -o opens2.txt \
  "$melvir" extract --all --trace -d out source.img > /dev/null 2>&1
"$melvir" info source.img > /dev/null
cat opens2.txt >> opens.txt
grep -q 'source.img' opens.txt || fail "strace saw no open of the image"
if grep 'source.img' opens.txt | grep -vq 'O_RDONLY'; then
  grep 'source.img' opens.txt >&2
  fail "the image was opened for writing"
fi
grep -q 'GetNextEntry returns:' MELVIR.LOG || fail "the trace log was not written"
[[ $(ls out | wc -l) -ge 3 ]] || fail "the recordings were not extracted"

after=$(sha256sum < "$work/source.img")
[[ $before == "$after" ]] || fail "the image changed"
echo "readonly_check: source unchanged ($(echo "$before" | cut -c1-16)...), opened read-only"
