# Sourced by scripts that run Windows programs under Wine: start_private_display starts a
# private X server (Xvfb) for this script's Wine programs, exports its name as
# QX_WINE_DISPLAY (scripts/wine_run.sh hands it to Wine) and stops it when the script exits,
# once the Wine session of the project's prefix has ended.
start_private_display() {
  local display_file
  display_file=$(mktemp)
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$display_file" 2>/dev/null &
  qx_xvfb_pid=$!
  qx_display_file=$display_file
  trap 'stop_private_display' EXIT
  for _ in $(seq 200); do [ -s "$display_file" ] && break; sleep 0.1; done
  local number
  number=$(head -n1 "$display_file")
  [ -n "$number" ] || { echo "Xvfb did not start" >&2; return 1; }
  export QX_WINE_DISPLAY=":$number"
}

stop_private_display() {
  WINEPREFIX="${WINEPREFIX:-$PWD/build-windows/wine}" timeout 30 wineserver --wait 2>/dev/null || true
  kill "$qx_xvfb_pid" 2>/dev/null || true
  rm -f "$qx_display_file"
}
