#!/bin/sh
# Starts or stops the private Xvfb of the tests that paint: xvfb-fixture.sh start|stop :N builddir
set -e
what=$1 display=$2 dir=$3
pidfile="$dir/xvfb${display#:}.pid"
case "$what" in
  start)
    if [ -f "$pidfile" ] && kill -0 "$(cat "$pidfile")" 2>/dev/null; then exit 0; fi
    Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 </dev/null &
    echo $! >"$pidfile"
    i=0
    while [ $i -lt 50 ]; do
      [ -e "/tmp/.X11-unix/X${display#:}" ] && exit 0
      i=$((i + 1)); sleep 0.1
    done
    echo "Xvfb did not start on $display" >&2; exit 1 ;;
  stop)
    [ -f "$pidfile" ] && kill "$(cat "$pidfile")" 2>/dev/null || true
    rm -f "$pidfile" ;;
esac
