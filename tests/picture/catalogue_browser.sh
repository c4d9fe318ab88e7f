#!/usr/bin/env bash
# The catalogue page in a real browser: ffmpeg makes a few streams, a
# catalogue of them is made, and headless Chromium loads it in an iframe of
# a wrapper page that writes what it measured into its DOM: one card per
# recording, each picture loaded at its size, the hostile title shown as
# text, no script and nothing but local files. The catalogue is made either
# by the sample tool, straight from the stream files with the test's own
# names, or by `melvir catalog` from a recorder disk image holding them,
# with the names the streams' own tables give (melvir-ts-si adds them).
# Usage: catalogue_browser.sh CATALOGUE-SAMPLE WORKDIR [SCREENSHOT.png]
#        catalogue_browser.sh --melvir MELVIR MELVIR-TS-SI MELVIR-MKDISK WORKDIR [SCREENSHOT.png]
set -euo pipefail
if [ "$1" = --melvir ]; then
  melvir=$(realpath "$2") ts_si=$3 mkdisk=$4; shift 4
else
  tool=$1; shift
fi
work=$(realpath -m "$1") shot=${2:+$(realpath -m "$2")}
for p in chromium ffmpeg; do
  if ! command -v $p >/dev/null; then
    echo "SKIPPED: $p (Debian package $p) is not installed: the catalogue page is not checked in a browser"
    exit 77
  fi
done
rm -rf "$work"
mkdir -p "$work/streams"
s=$work/streams
ff() {  # ff OUTPUT ffmpeg-arguments...
  local out=$1; shift
  ffmpeg -nostdin -loglevel error -y "$@" -f mpegts "$s/$out"
}
ff news.ts -f lavfi -i testsrc2=size=720x576:rate=25 -f lavfi -i sine=440 -t 3 \
  -c:v mpeg2video -b:v 6M -aspect 16:9 -c:a mp2
ff film.ts -f lavfi -i smptebars=size=720x576:rate=25 -t 3 -c:v mpeg2video -b:v 6M -aspect 4:3
ff hd.ts -f lavfi -i testsrc=size=1440x1080:rate=25 -t 3 -vf setsar=4/3 \
  -c:v libx264 -preset ultrafast -g 25
ff radio.ts -f lavfi -i sine=660 -t 3 -c:a mp2
title='Le "<script>" du soir'
if [ -n "${melvir:-}" ]; then
  # The broadcast's tables: channel (SDT), programme (EIT), time (TDT, TOT:
  # two hours ahead of UTC).
  si() {  # si STREAM UTC CHANNEL TITLE
    "$ts_si" "$s/$1" "$s/si-$1" --utc "$2" --offset 120 --sdt "$3|TNT" \
      --event "$(($2 - 60))|3600|fra|$4|"
  }
  si news.ts 1241373600 'France 2' 'Le journal de 20h'
  si film.ts 1241383440 Arte "$title"
  si hd.ts 1241443800 'France 2 HD' 'Match en direct'
  si radio.ts 1241370000 'France Inter' 'Le masque et la plume'
  cat >"$work/recorder.disk" <<EOF2
sectors-per-cluster 64
cluster-count 1000
recording "Journal" file=streams/si-news.ts blockform
recording "Film" file=streams/si-film.ts
recording "Rec 0012" file=streams/si-hd.ts blockform
recording "Radio" file=streams/si-radio.ts blockform
EOF2
  "$mkdisk" "$work/recorder.disk" "$work/recorder.img" >/dev/null
  (cd "$work" && "$melvir" catalog -d catalogue recorder.img)
else
  "$tool" "$work/catalogue" \
    "$s/news.ts|Journal|France 2|Le journal de 20h|2009-05-03|20:00|3|no errors" \
    "$s/film.ts|Film|Arte|$title|2009-05-03|22:44|3|no errors" \
    "$s/hd.ts|Rec 0012|France 2 HD|Match en direct|2009-05-04|15:30|3|12 continuity errors" \
    "$s/radio.ts|Radio|France Inter|Le masque et la plume|||3|no errors"
fi

cat >"$work/wrapper.html" <<'HTML'
<!DOCTYPE html>
<html><body>
<iframe id="page" src="catalogue/index.html" width="1200" height="900"></iframe>
<pre id="result">not measured</pre>
<script>
document.getElementById('page').addEventListener('load', function () {
  var w = this.contentWindow, d = this.contentDocument, out = [];
  var cards = d.querySelectorAll('article.card');
  out.push('cards ' + cards.length);
  out.push('scripts ' + d.querySelectorAll('script').length);
  out.push('remote ' + w.performance.getEntriesByType('resource')
    .filter(function (e) { return e.name.indexOf('file:') !== 0; }).length);
  cards.forEach(function (c) {
    var img = c.querySelector('img'), title = '';
    c.querySelectorAll('dt').forEach(function (dt) {
      if (dt.textContent === 'Title') title = dt.nextElementSibling.textContent;
    });
    out.push(c.id + ' ' + (img ? (img.complete ? img.naturalWidth + 'x' + img.naturalHeight : 'not loaded')
                               : 'no picture') + ' ' + encodeURIComponent(title) + ' ' + c.querySelector('code').textContent);
  });
  document.getElementById('result').textContent = out.join('\n');
});
</script>
</body></html>
HTML

browse() {
  chromium --headless --no-sandbox --disable-gpu --no-first-run --disable-background-networking \
    --disable-component-update --disable-sync --user-data-dir="$(mktemp -d "$work/profile.XXXX")" \
    --allow-file-access-from-files --virtual-time-budget=10000 "$@" 2>>"$work/chromium.log"
}
browse --dump-dom "file://$work/wrapper.html" >"$work/dom.html"
sed -n '/<pre id="result">/,/<\/pre>/p' "$work/dom.html" | sed 's/<[^>]*>//g' >"$work/measured.txt"
cat >"$work/expected.txt" <<'EOF2'
cards 4
scripts 0
remote 0
recording-1 320x180 Le%20journal%20de%2020h melvir extract -n 1 recorder.img
recording-2 320x240 Le%20%22%3Cscript%3E%22%20du%20soir melvir extract -n 2 recorder.img
recording-3 320x180 Match%20en%20direct melvir extract -n 3 recorder.img
recording-4 no picture Le%20masque%20et%20la%20plume melvir extract -n 4 recorder.img
EOF2
if ! diff -u "$work/expected.txt" "$work/measured.txt"; then
  echo "FAILED: the catalogue page as Chromium shows it differs (above; $work/chromium.log)"
  exit 1
fi
echo "the catalogue page in Chromium: 4 cards, pictures 320x180, 320x240, 320x180, none"
if [ -n "$shot" ]; then
  browse --hide-scrollbars --window-size=1080,960 --screenshot="$shot" "file://$work/catalogue/index.html"
  echo "screenshot: $shot"
fi
