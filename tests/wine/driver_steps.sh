# shellcheck shell=bash
# Sourced by the Wine scripts that work MELVIR.EXE through gui_driver.exe.
# Expects native and win64 (the build folders) to be set; names the programs
# melvir, mkdisk, exe (MELVIR.EXE), driver and wine; counts failed checks in
# failures. work and WINEPREFIX must be set before the steps run.
#
#   gui_start                an X server of its own (Xvfb), the prefix made if new, one wineserver
#   gui_stop                 (in the EXIT trap) all of that ended, drive 1 unmapped
#   scenario NAME ARGS...    one run of the driver, retried once if Wine lost its server
#   check DESCRIPTION COMMAND...
#   map IMAGE                the image as \\.\PhysicalDrive1
#   winpath PATH             the Unix path as Wine's drive Z: names it
melvir=$native/cli/melvir
mkdisk=$native/tools/melvir-mkdisk
exe=$win64/MELVIR.EXE
driver=$win64/gui_driver.exe
wine=$(command -v wine64 || echo /usr/lib/wine/wine64)
failures=0
xvfb=

# shellcheck source=server.sh
. "$(dirname "${BASH_SOURCE[0]}")/server.sh"

gui_start() {
  # Xvfb picks a free display itself and names it on the FIFO once it takes
  # connections; the FIFO's end, with no number, is an Xvfb that failed.
  local number=
  mkfifo "$work/xvfb.display"
  Xvfb -displayfd 3 -screen 0 1024x768x24 3> "$work/xvfb.display" > /dev/null 2>&1 &
  xvfb=$!
  read -r -t 120 number < "$work/xvfb.display" || true
  [[ $number =~ ^[0-9]+$ ]] || { echo "Xvfb did not start" >&2; exit 1; }
  export DISPLAY=:$number
  if [[ ! -d $WINEPREFIX/dosdevices ]] && ! timeout 600 "$wine" wineboot -i > /dev/null 2>&1; then
    echo "wineboot could not make the Wine prefix $WINEPREFIX; remove it and try again" >&2
    exit 1
  fi
  wine_server_start
}

gui_stop() {
  wine_server_stop
  [[ -z $xvfb ]] || kill "$xvfb" 2> /dev/null || true
  rm -f "$WINEPREFIX/dosdevices/physicaldrive1"
}

winpath() { echo "Z:${1//\//\\}"; }

drive() {  # drive NAME ARGS...: one run of the driver, bounded in time
  # Into a file, not a pipe: Wine's own helper processes live on with the
  # server and would hold a pipe open.
  local status=0
  (cd "$work" && timeout 180 "$wine" "$driver" "$1" "$(winpath "$exe")" "${@:2}") \
    > "$work/scenario.log" 2> "$work/wine.log" || status=$?
  # Wine's messages follow the driver's; its trace, when WINEDEBUG asks for
  # one, stays in wine.log.
  grep -av ':trace:' "$work/wine.log" >> "$work/scenario.log" || true
  cat "$work/scenario.log"
  return "$status"
}

scenario() {
  echo "-- $1"
  if drive "$@"; then return; fi
  # A lost connection to wineserver is Wine's failure, not the program's:
  # that alone earns one more try.
  if grep -q "wine client error" "$work/scenario.log"; then
    echo "-- $1 again: Wine lost its server"
    if drive "$@"; then return; fi
  fi
  echo "FAILED: $1"
  failures=$((failures + 1))
}

check() {
  if "${@:2}"; then echo "ok: $1"; else echo "FAIL: $1"; failures=$((failures + 1)); fi
}

map() { ln -sfn "$1" "$WINEPREFIX/dosdevices/physicaldrive1"; }
