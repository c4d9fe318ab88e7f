# Sourced by the Wine scripts that work MELVIR.EXE through gui_driver.exe.
# Expects wine, driver, exe and work to be set; counts failed checks in
# failures.
#
#   scenario NAME ARGS...    one run of the driver, retried once if Wine lost its server
#   check DESCRIPTION COMMAND...
#   map IMAGE                the image as \\.\PhysicalDrive1
#   winpath PATH             the Unix path as Wine's drive Z: names it
failures=0

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
