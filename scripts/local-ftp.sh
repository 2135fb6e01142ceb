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
    kill "$LOCAL_FTP_PID" 2>/dev/null || true # it may have ended already
    wait "$LOCAL_FTP_PID" 2>/dev/null || true
    LOCAL_FTP_PID=""
  fi
}

median() { sort -g | awk '{v[NR]=$1} END {print v[int((NR+1)/2)]}'; }

# bench_session SCRIPT [ARGS...]: runs the calling benchmark script once more in a session of its own
# and exits with its status; in that copy it returns at once. The kernel schedules each session as
# a group, and a process's nice value only weighs against its own group: the new session's group
# gets the priority VESTRIGAL_BENCH_NICE (default -10; 0 for none), so that other people's work on a
# shared machine weighs less on the figures. Needs root; without it, nothing changes.
bench_session() {
  local level="${VESTRIGAL_BENCH_NICE:--10}"
  if [ -n "${VESTRIGAL_BENCH_SESSION:-}" ]; then
    echo "$level" 2>/dev/null >/proc/self/autogroup || true
    trap 'exit 143' TERM # through the script's exit trap, which stops the server and removes files
    return 0
  fi
  if [ "$(id -u)" -ne 0 ] || [ "$level" = 0 ] || [ ! -e /proc/self/autogroup ] || ! command -v setsid >/dev/null; then
    return 0
  fi
  VESTRIGAL_BENCH_SESSION=1 setsid -w bash "$@" &
  local child=$! status=0
  # The new session has no terminal: an interrupt is passed on, and its cleanup waited for.
  trap 'kill -TERM -- "-$child" 2>/dev/null' INT TERM
  wait "$child" || status=$?
  while kill -0 "$child" 2>/dev/null; do wait "$child" || status=$?; done
  exit "$status"
}

# The transfer benchmarks keep the server and the clients on separate cores when there are two or
# more, so that neither takes the other's time slices, and (as root) run them at a higher priority
# (VESTRIGAL_BENCH_NICE, default -10; 0 for none) so that other work on a shared machine weighs less
# on the figures; ours and the peers' alike. pin_cores sets CLIENT_PIN, the command prefix for
# clients; pin_server then moves the running server (the processes it forks inherit both).
pin_cores() {
  CLIENT_PIN=()
  PIN_SERVER_CORE=""
  PIN_NICE=""
  if [ "$(id -u)" -eq 0 ] && [ "${VESTRIGAL_BENCH_NICE:--10}" != 0 ]; then
    PIN_NICE="${VESTRIGAL_BENCH_NICE:--10}"
    CLIENT_PIN=(nice -n "$PIN_NICE")
  fi
  if command -v taskset >/dev/null && [ "$(nproc)" -ge 2 ]; then
    CLIENT_PIN+=(taskset -c 0)
    PIN_SERVER_CORE=1
  fi
}
pin_server() {
  [ -z "$PIN_SERVER_CORE" ] || taskset -a -p -c "$PIN_SERVER_CORE" "$LOCAL_FTP_PID" >/dev/null
  [ -z "$PIN_NICE" ] || renice -n "$PIN_NICE" -p "$LOCAL_FTP_PID" >/dev/null
}

# start_native_ftp SERVED_FOLDER WORK_FOLDER
# vsftpd on 127.0.0.1 with a free port, anonymous login, its configuration and log in WORK_FOLDER.
# Its receiving side is C, so a transfer benchmark measures the client rather than the server.
# vsftpd refuses a root its user can write to: SERVED_FOLDER is made read-only to it, and its
# subfolder "up" (created here) takes the uploads. Needs root (vsftpd changes its root folder and
# user per session); sets LOCAL_FTP_PORT and LOCAL_FTP_PID, and stop_local_ftp stops it.
# With LOCAL_FTP_TLS_CERT and LOCAL_FTP_TLS_KEY set (PEM files), it offers FTP over TLS and requires it
# for the login and the data, with the data connections resuming the control connection's session.
start_native_ftp() {
  local served="$1" work="$2"
  if [ "$(id -u)" -ne 0 ] || [ ! -x /usr/sbin/vsftpd ]; then
    echo "start_native_ftp: needs root and vsftpd" >&2
    return 1
  fi
  mkdir -p "$served/up" "$work/vsftpd-empty"
  chmod 755 "$served" "$work/vsftpd-empty"
  chmod 777 "$served/up"
  LOCAL_FTP_PORT="$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')"
  # seccomp and the network namespace of vsftpd's sandbox are off: containers often refuse them.
  cat >"$work/vsftpd.conf" <<CONF
listen=YES
listen_ipv6=NO
listen_address=127.0.0.1
listen_port=$LOCAL_FTP_PORT
background=NO
anonymous_enable=YES
local_enable=NO
no_anon_password=YES
anon_root=$served
write_enable=YES
anon_upload_enable=YES
anon_mkdir_write_enable=YES
anon_other_write_enable=YES
anon_umask=022
secure_chroot_dir=$work/vsftpd-empty
seccomp_sandbox=NO
isolate=NO
isolate_network=NO
connect_from_port_20=NO
xferlog_enable=NO
vsftpd_log_file=$work/vsftpd.log
max_clients=0
max_per_ip=0
CONF
  if [ -n "${LOCAL_FTP_TLS_CERT:-}" ]; then
    cat >>"$work/vsftpd.conf" <<CONF
ssl_enable=YES
rsa_cert_file=$LOCAL_FTP_TLS_CERT
rsa_private_key_file=$LOCAL_FTP_TLS_KEY
allow_anon_ssl=YES
force_anon_logins_ssl=YES
force_anon_data_ssl=YES
require_ssl_reuse=YES
CONF
  fi
  /usr/sbin/vsftpd "$work/vsftpd.conf" >"$work/ftp-server.log" 2>&1 &
  LOCAL_FTP_PID=$!
  local line=""
  for _ in $(seq 50); do
    # A subshell: a failed redirection on exec would end the script itself.
    line="$( (exec 3<>"/dev/tcp/127.0.0.1/$LOCAL_FTP_PORT" && read -r -t 2 greeting <&3 && echo "$greeting") 2>/dev/null || true)"
    [ -n "$line" ] && break
    sleep 0.1
  done
  if [[ "$line" != 220* ]]; then
    echo "the local FTP server (vsftpd) did not start: ${line:-no greeting}" >&2
    cat "$work/ftp-server.log" >&2
    stop_local_ftp
    return 1
  fi
}

# start_bench_ftp SERVED_FOLDER WORK_FOLDER
# The transfer benchmarks' server: vsftpd (start_native_ftp), or pyftpdlib when
# VESTRIGAL_BENCH_SERVER=pyftpdlib or vsftpd cannot run here; pinned as pin_cores decides. Sets
# BENCH_SERVER, BENCH_USER, BENCH_PASSWORD and BENCH_UP, the remote folder uploads go to ("up/" or "").
# shellcheck disable=SC2034 # BENCH_* are for the scripts that source this
start_bench_ftp() {
  local served="$1" work="$2"
  pin_cores
  BENCH_SERVER="${VESTRIGAL_BENCH_SERVER:-vsftpd}"
  if [ "$BENCH_SERVER" = vsftpd ] && start_native_ftp "$served" "$work"; then
    BENCH_USER=anonymous BENCH_PASSWORD=bench BENCH_UP=up/
  else
    [ "$BENCH_SERVER" = vsftpd ] && echo "vsftpd could not run: the server is pyftpdlib" >&2
    BENCH_SERVER=pyftpdlib BENCH_USER=bench BENCH_PASSWORD=bench-pw BENCH_UP=""
    local tls=()
    if [ -n "${LOCAL_FTP_TLS_CERT:-}" ]; then
      cat "$LOCAL_FTP_TLS_CERT" "$LOCAL_FTP_TLS_KEY" >"$work/tls.pem"
      tls=(--tls "$work/tls.pem" --tls-required --reuse-required)
    fi
    start_local_ftp "$served" "$BENCH_USER" "$BENCH_PASSWORD" "$work" "${tls[@]}"
  fi
  pin_server
  echo "server: $BENCH_SERVER on 127.0.0.1:$LOCAL_FTP_PORT${PIN_SERVER_CORE:+, core $PIN_SERVER_CORE; clients on core 0}${PIN_NICE:+; nice $PIN_NICE}; scheduling group: $(cat /proc/self/autogroup 2>/dev/null)" >&2
}
