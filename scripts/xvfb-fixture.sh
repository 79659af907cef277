#!/bin/sh
# Starts or stops the private Xvfb of the tests that paint: xvfb-fixture.sh start|stop <state dir>.
# Xvfb picks a free display itself; its name goes to <state dir>/display for the Wine wrapper.
set -e
what=$1 dir=$2
pidfile="$dir/xvfb.pid" displayfile="$dir/display"
mkdir -p "$dir"
stop() {
  [ -f "$pidfile" ] && kill "$(cat "$pidfile")" 2>/dev/null || true
  rm -f "$pidfile" "$displayfile"
}
case "$what" in
  start)
    stop
    Xvfb -displayfd 9 -screen 0 1280x1024x24 -nolisten tcp 9>"$dir/display.new" >/dev/null 2>&1 </dev/null &
    echo $! >"$pidfile"
    i=0
    while [ ! -s "$dir/display.new" ] && [ $i -lt 100 ]; do i=$((i + 1)); sleep 0.1; done
    number=$(head -n 1 "$dir/display.new" 2>/dev/null || true)
    rm -f "$dir/display.new"
    if [ -z "$number" ]; then echo "Xvfb did not start" >&2; stop; exit 1; fi
    echo ":$number" >"$displayfile" ;;
  stop)
    stop ;;
esac
