#!/usr/bin/env bash
# Takes the README's screenshots of MELVIR.EXE (x86_64) under Wine, in a
# Wine virtual desktop on Xvfb so that the windows get their frames:
# docs/main-window.png, docs/info.png, docs/readme.png, docs/about.png,
# docs/extraction.png.
#
#   bash docs/make_screenshots.sh NATIVE_BUILD WIN64_BUILD
#
# Needs imagemagick (import) and fonts-wine, whose Marlett font draws the
# caption buttons (without it they show as the letters "0 1 r").
set -euo pipefail
for need in imagemagick fonts-wine; do
  dpkg-query -W -f='${Status}' "$need" 2> /dev/null | grep -q 'install ok installed' ||
    { echo "make_screenshots: apt-get install $need first" >&2; exit 1; }
done
native=$(cd "$1" && pwd)
win64=$(cd "$2" && pwd)
root=$(cd "$(dirname "$0")/.." && pwd)
wine=$(command -v wine64 || echo /usr/lib/wine/wine64)
export WINEPREFIX=/tmp/melvir-shots-wine WINEDEBUG=-all
work=$(mktemp -d /tmp/melvir-shots.XXXXXX)
display=:$((90 + RANDOM % 100))
Xvfb "$display" -screen 0 800x600x24 > /dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2> /dev/null || true; rm -rf "$work"' EXIT
export DISPLAY=$display
sleep 1
[[ -d $WINEPREFIX/dosdevices ]] || timeout 120 "$wine" wineboot -i > /dev/null 2>&1 || true
# This Wine looks for its own fonts only in the prefix's Fonts folder.
cp -n /usr/share/wine/fonts/* "$WINEPREFIX/drive_c/windows/Fonts/"
"$wine" reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d shots /f > /dev/null 2>&1
"$wine" reg add 'HKCU\Software\Wine\Explorer\Desktops' /v shots /d 800x600 /f > /dev/null 2>&1

# A disk that looks like a recorder's: a few broadcasts of realistic sizes
# (sparse, so they cost nothing).
cat > "$work/shots.disk" << 'DESC'
order little
sectors-per-cluster 256
cluster-count 60000
recording "Evening news 2026-11-30" clusters=1200
recording "Nature - The deep sea" clusters=12000
recording "Film: Night train" clusters=30000
recording "Cup final, 2nd half" clusters=9000
DESC
"$native/tools/melvir-mkdisk" "$work/shots.disk" "$work/shots.img" > /dev/null
ln -sfn "$work/shots.img" "$WINEPREFIX/dosdevices/physicaldrive1"

# The program's corner of the desktop, where its windows open.
shot() { import -display "$display" -window root -crop 612x396+0+0 +repage "$root/docs/$1.png"; echo "docs/$1.png"; }
(cd "$work" && timeout 120 "$wine" "$win64/gui_driver.exe" pose "Z:${win64//\//\\}\\MELVIR.EXE" 2 \
   "Z:${work//\//\\}\\night-train.ts") | while read -r line; do
  case $line in
    "READY main"*) shot main-window ;;
    "READY info"*) shot info ;;
    "READY readme"*) shot readme ;;
    "READY about"*) shot about ;;
    "READY extract"*) shot extraction ;;
    FAIL*) echo "$line" >&2 ;;
  esac
done
rm -f "$WINEPREFIX/dosdevices/physicaldrive1"
