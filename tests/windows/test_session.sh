#!/usr/bin/env bash
# The Wine session the Windows test binary runs in: a prefix of its own whose Desktop and
# Local AppData known folders follow XDG_DESKTOP_DIR and XDG_DATA_HOME (so each test, as on
# Linux, gives the program folders of its own), one virtual screen, and one Wine server
# started on that screen and kept while the tests run.
#   bash tests/windows/test_session.sh start|stop BUILD_DIR DISPLAY
set -euo pipefail
action=$1
build=$(cd "$2" && pwd)
display=$3
export WINEPREFIX=$build/wine-tests WINEDEBUG=-all
pid_file=$build/wine-tests-xvfb.pid

stop() {
  wineserver -k 2>/dev/null || true
  if [ -f "$pid_file" ]; then kill "$(cat "$pid_file")" 2>/dev/null || true; rm -f "$pid_file"; fi
}

start() {
  stop
  # An earlier run's screen that did not end.
  pkill -f "Xvfb $display " 2>/dev/null || true
  rm -f "/tmp/.X${display#:}-lock" "/tmp/.X11-unix/X${display#:}"
  Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp -noreset &
  echo $! > "$pid_file"
  for _ in $(seq 200); do [ -e "/tmp/.X11-unix/X${display#:}" ] && break; sleep 0.05; done
  [ -e "/tmp/.X11-unix/X${display#:}" ] || { echo "Xvfb did not start on $display"; return 1; }
  export DISPLAY=$display
  wineserver -p
  [ -f "$WINEPREFIX/system.reg" ] || wineboot -i
  local folders='HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer\User Shell Folders'
  wine reg add "$folders" /v Desktop /t REG_EXPAND_SZ /d '%XDG_DESKTOP_DIR%' /f
  wine reg add "$folders" /v 'Local AppData' /t REG_EXPAND_SZ /d '%XDG_DATA_HOME%' /f
  mkdir -p "$build/wine-tests-user/desktop" "$build/wine-tests-user/data"
}

case "$action" in
  start)
    # What stays running (the screen, the Wine server and its services) must not hold the
    # test's output open, or the test would never be seen to end: all of it writes to a
    # log, shown when the start fails.
    log=$build/wine-tests-session.log
    start > "$log" 2>&1 < /dev/null || { cat "$log"; exit 1; }
    ;;
  stop) stop ;;
esac
