# Sourced by the Wine test scripts. One wineserver held for the whole run:
# with the default one, each program's server lingers a few seconds after it
# ends, and a program started while that server is shutting down dies with
# "wine client error ... Connection reset by peer".
#
#   wine_server_start   (after WINEPREFIX is set and the prefix exists)
#   wine_server_stop
wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver64)

wine_server_start() {
  timeout 60 "$wineserver" -w 2> /dev/null || true  # let a leftover server end
  "$wineserver" -p
}

wine_server_stop() {
  "$wineserver" -k 2> /dev/null || true
}
