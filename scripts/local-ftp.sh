# Sourced by the benchmarks and by `scripts/run --demo`: a local FTP server (pyftpdlib, through
# tests/support/ftpserver.py) on 127.0.0.1 with a free port, and the median of numbers.
# shellcheck shell=bash

LOCAL_FTP_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
LOCAL_FTP_PID=""
LOCAL_FTP_PORT=""

# start_local_ftp SERVED_FOLDER USER PASSWORD WORK_FOLDER [server options...]
# Sets LOCAL_FTP_PORT; fails with a message when the server does not come up.
start_local_ftp() {
  local served="$1" user="$2" password="$3" work="$4"
  shift 4
  /usr/bin/python3 "$LOCAL_FTP_ROOT/tests/support/ftpserver.py" "$served" "$user" "$password" 0 "$@" \
    >"$work/ftp-port" 2>"$work/ftp-server.log" &
  LOCAL_FTP_PID=$!
  for _ in $(seq 100); do grep -qs '^PORT ' "$work/ftp-port" && break; sleep 0.1; done
  LOCAL_FTP_PORT="$(awk '/^PORT /{print $2}' "$work/ftp-port")"
  if [ -z "$LOCAL_FTP_PORT" ]; then
    echo "the local FTP server did not start:" >&2
    cat "$work/ftp-server.log" >&2
    return 1
  fi
}

# Stops the server; it ends by the signal, and that status must not become the caller's.
stop_local_ftp() {
  if [ -n "$LOCAL_FTP_PID" ]; then
    kill "$LOCAL_FTP_PID" 2>/dev/null
    wait "$LOCAL_FTP_PID" 2>/dev/null || true
    LOCAL_FTP_PID=""
  fi
}

median() { sort -g | awk '{v[NR]=$1} END {print v[int((NR+1)/2)]}'; }
