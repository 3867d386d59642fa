#!/usr/bin/env bash
# A private CUPS daemon with one colour PostScript queue, "PagrixPS", for the
# print tests under Wine: Wine lists the queue as the default printer and its
# PostScript driver writes the print files the tests render with Ghostscript.
# Jobs sent to the queue itself go to /dev/null.
#   print_queue.sh start DIR PPD   starts the daemon on DIR/cups.sock
#   print_queue.sh stop DIR        stops it
# Without cupsd, or when it cannot start, the start only says so; the print
# tests then skip.
set -u
cmd=$1 dir=$2
cupsd=$(command -v cupsd || echo /usr/sbin/cupsd)
stop() {
  if [ -f "$dir/cupsd.pid" ]; then
    kill "$(cat "$dir/cupsd.pid")" 2>/dev/null || true
    for _ in $(seq 50); do kill -0 "$(cat "$dir/cupsd.pid")" 2>/dev/null || break; sleep 0.1; done
    rm -f "$dir/cupsd.pid"
  fi
}
case $cmd in
start)
  ppd=$3
  stop
  if [ ! -x "$cupsd" ]; then
    echo "print_queue: cupsd missing (scripts/setup installs cups-daemon); print tests will skip"
    exit 0
  fi
  rm -rf "$dir" && mkdir -p "$dir"/{spool,cache,state,log}
  cat > "$dir/cupsd.conf" <<CONF
Listen $dir/cups.sock
LogLevel warn
WebInterface No
Browsing No
<Location />
  Order allow,deny
  Allow all
</Location>
<Location /admin>
  Order allow,deny
  Allow all
</Location>
<Policy default>
  <Limit All>
    Order deny,allow
  </Limit>
</Policy>
CONF
  cat > "$dir/cups-files.conf" <<CONF
ServerRoot $dir
RequestRoot $dir/spool
CacheDir $dir/cache
StateDir $dir/state
TempDir $dir/spool
ErrorLog $dir/log/error_log
AccessLog $dir/log/access_log
PageLog $dir/log/page_log
FileDevice Yes
Sandboxing relaxed
CONF
  setsid "$cupsd" -f -c "$dir/cupsd.conf" -s "$dir/cups-files.conf" </dev/null >"$dir/log/stdout" 2>&1 &
  echo $! > "$dir/cupsd.pid"
  for _ in $(seq 100); do [ -S "$dir/cups.sock" ] && break; sleep 0.1; done
  export CUPS_SERVER=$dir/cups.sock
  lpadmin -p PagrixPS -E -v file:/dev/null -P "$ppd" 2>/dev/null &&
    lpadmin -d PagrixPS 2>/dev/null || {
      # No queue (cupsd would not start here): the print tests skip, the
      # other shell tests still run.
      echo "print_queue: no queue; print tests will skip"
      cat "$dir/log/error_log" 2>/dev/null
      stop
    }
  ;;
stop)
  stop
  ;;
esac
exit 0
