#!/bin/sh
# Starts or stops the local test services for CTest:
#   services-fixture.sh start|stop <state folder> [python3 services.py certificate-folder]
# The state folder holds ports.txt (written by the services once all listen), services.pid and
# services.log. The services run detached from CTest's pipes; a stale instance is stopped first.
set -e
what=$1 dir=$2 python=$3 script=$4 certs=$5
pidfile="$dir/services.pid" ports="$dir/ports.txt" log="$dir/services.log"

stop() {
  if [ -f "$pidfile" ]; then
    pid=$(cat "$pidfile")
    # The services remove their pid file as they end (an ended process may linger as a zombie).
    if kill "$pid" 2>/dev/null; then
      i=0
      while [ -f "$pidfile" ] && kill -0 "$pid" 2>/dev/null && [ $i -lt 50 ]; do i=$((i + 1)); sleep 0.05; done
    fi
  fi
  rm -f "$pidfile" "$ports"
}

case "$what" in
  start)
    mkdir -p "$dir"
    stop
    # The time limit only ends an instance that a broken test run left behind.
    "$python" "$script" --certs "$certs" --ports-file "$ports" --pid-file "$pidfile" \
      --proxy-user "proxyuser" --proxy-password "Pr0xy-secret" --max-seconds 7200 \
      </dev/null >"$log" 2>&1 &
    pid=$!
    i=0
    while [ $i -lt 200 ]; do
      [ -f "$ports" ] && exit 0
      if ! kill -0 "$pid" 2>/dev/null; then
        echo "the test services did not start:" >&2; cat "$log" >&2; exit 1
      fi
      i=$((i + 1)); sleep 0.1
    done
    echo "the test services wrote no ports file within 20 s" >&2; cat "$log" >&2; exit 1 ;;
  stop)
    stop ;;
  *)
    echo "usage: $0 start|stop <state folder> [python3 services.py certificate-folder]" >&2; exit 2 ;;
esac
