#!/usr/bin/env bash
# SFTP benchmark: a 1 GiB file (VESTRIGAL_BENCH_SFTP_MIB to change) downloaded and uploaded, and a
# tree of 1,000 small files in 100 folders downloaded, by our client (bench/sftp/sftp_bench) and by
# OpenSSH's sftp client (get, put, get -r) against the same OpenSSH sshd on 127.0.0.1
# (tests/support/sshd.py, public-key login as root, internal-sftp), both with their default
# settings. The server runs on a core of its own, the clients on the other (pin_cores). Seven runs
# (VESTRIGAL_BENCH_RUNS), ours and OpenSSH's in alternating order, each printed on stderr after one
# round of each that is not timed; the medians of the per-run ratios are printed:
# sftp_download_vs_openssh and sftp_upload_vs_openssh as speeds ours / theirs (higher is better),
# sftp_tree_1000_vs_openssh as times ours / theirs (lower is better), and sftp_peak_MiB, the largest
# peak memory of our client's runs. OpenSSH's own figures are printed as well; while our client is
# not built, only they are. Needs root (sshd); without it nothing is measured.
#
# run.sh BUILD_DIR
set -euo pipefail
BUILD="$1"
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
source "$ROOT/scripts/local-ftp.sh" # bench_session, pin_cores, pin_server, median
bench_session "$0" "$@"
MIB="${VESTRIGAL_BENCH_SFTP_MIB:-1024}"
RUNS="${VESTRIGAL_BENCH_RUNS:-7}"
OURS="$BUILD/bench/sftp/sftp_bench"
export QT_QPA_PLATFORM=offscreen # the window is built, never shown

place="${TMPDIR:-/tmp}"
if [ -d /dev/shm ] && [ "$(df -Pm /dev/shm | awk 'NR==2 {print $4}')" -gt $((MIB * 7)) ]; then place=/dev/shm; fi
work="$(mktemp -d "$place/bench-sftp-XXXXXX")"
SSHD_PID=""
cleanup() {
  if [ -n "$SSHD_PID" ]; then
    kill "$SSHD_PID" 2>/dev/null || true # the script stops sshd and its sessions
    wait "$SSHD_PID" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

# The server's folder: tests/support/sshd.py lays it out (root/ served, client/ like ~/.ssh).
served="$work/sshd/root"
keys="$work/sshd/client"
mkdir -p "$served/up" "$work/local"
head -c "$((MIB * 1048576))" /dev/urandom >"$served/big.bin"
cp "$served/big.bin" "$work/local/source.bin"
for d in $(seq 100); do
  mkdir -p "$served/tree/d$d"
  for f in $(seq 10); do head -c "$(((d * 10 + f) * 37 % 20000 + 100))" /dev/urandom >"$served/tree/d$d/f$f.dat"; done
done

# sshd runs until its script's stdin closes: a pipe only this script holds open, so that sshd ends
# with it however it ends.
mkfifo "$work/sshd-in"
exec 7<>"$work/sshd-in"
/usr/bin/python3 "$ROOT/tests/support/sshd.py" "$work/sshd" --log-level ERROR \
  --known-hosts "$keys/known_hosts" <"$work/sshd-in" >"$work/sshd-out" 2>&1 7>&- &
SSHD_PID=$!
for _ in $(seq 300); do grep -qs -e '^PORT ' -e '^SKIP ' "$work/sshd-out" && break; sleep 0.1; done
if grep -qs '^SKIP ' "$work/sshd-out"; then
  echo "sftp: not measured: $(sed -n 's/^SKIP //p' "$work/sshd-out")" >&2
  exit 0
fi
port="$(awk '/^PORT /{print $2}' "$work/sshd-out")"
[ -n "$port" ] || { echo "sftp: sshd did not start:" >&2; cat "$work/sshd-out" >&2; exit 1; }
pin_cores
LOCAL_FTP_PID="$(cat "$work/sshd/sshd.pid")" pin_server # the sessions sshd forks inherit it
echo "server: sshd on 127.0.0.1:$port${PIN_SERVER_CORE:+, core $PIN_SERVER_CORE; clients on core 0}${PIN_NICE:+; nice $PIN_NICE}" >&2

# measure COMMAND...: runs it on the clients' core; prints "seconds peak_MiB", the peak memory being
# that of the largest process it started (sftp's ssh, for OpenSSH's client).
measure() {
  /usr/bin/python3 -c '
import resource, subprocess, sys, time
start = time.monotonic()
code = subprocess.call(sys.argv[1:], stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL)
seconds = time.monotonic() - start
print("%.4f %.1f" % (seconds, resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss / 1024))
sys.exit(code)' "${CLIENT_PIN[@]}" "$@"
}
check() {
  cmp -s "$1" "$2" || { echo "sftp: $2 differs" >&2; exit 1; }
  rm -f "$2"
}
check_tree() {
  diff -r "$served/tree" "$1" >/dev/null || { echo "sftp: $1 differs" >&2; exit 1; }
  rm -rf "$1"
}

# OpenSSH's sftp, the host key checked against the file sshd.py wrote.
openssh() {
  printf '%s\n' "$@" >"$work/batch"
  measure sftp -b "$work/batch" -P "$port" -o BatchMode=yes -o StrictHostKeyChecking=yes \
    -o UserKnownHostsFile="$keys/known_hosts" -o IdentityAgent=none -o IdentitiesOnly=yes \
    -o IdentityFile="$keys/id_ed25519" root@127.0.0.1
}
openssh_download() {
  sync
  read -r their_down _ <<<"$(openssh "get $served/big.bin $work/local/openssh.bin")"
  check "$served/big.bin" "$work/local/openssh.bin"
}
openssh_upload() {
  sync
  read -r their_up _ <<<"$(openssh "put $work/local/source.bin $served/up/openssh.up")"
  check "$work/local/source.bin" "$served/up/openssh.up"
}
openssh_tree() {
  sync
  read -r their_tree _ <<<"$(openssh "get -r $served/tree $work/local/openssh-tree")"
  check_tree "$work/local/openssh-tree"
}

# ---- Our client. -----------------------------------------------------------------------------
# $OURS MODE PORT KEYFOLDER REMOTE LOCAL, MODE being download, upload or tree: logs in as root with
# the keys of KEYFOLDER, laid out like ~/.ssh (id_ed25519, id_rsa, and known_hosts holding the
# server's key), and moves REMOTE to LOCAL (upload: LOCAL to REMOTE; tree: the folder REMOTE into
# the new folder LOCAL through the queue); exits non-zero on failure. Times and memory are measured
# from outside. Each function sets its time (our_down, our_up, our_tree) and our_peak.
our_peak=0
ours() { # VAR MODE ...: the seconds in VAR
  local var="$1" seconds peak
  shift
  read -r seconds peak <<<"$(measure "$OURS" "$@")"
  printf -v "$var" '%s' "$seconds"
  our_peak="$(awk -v a="$our_peak" -v b="$peak" 'BEGIN {print (b > a ? b : a)}')"
}
ours_download() {
  [ -x "$OURS" ] || return 0
  sync
  ours our_down download "$port" "$keys" "$served/big.bin" "$work/local/ours.bin"
  check "$served/big.bin" "$work/local/ours.bin"
}
ours_upload() {
  [ -x "$OURS" ] || return 0
  sync
  ours our_up upload "$port" "$keys" "$served/up/ours.up" "$work/local/source.bin"
  check "$work/local/source.bin" "$served/up/ours.up"
}
ours_tree() {
  [ -x "$OURS" ] || return 0
  sync
  ours our_tree tree "$port" "$keys" "$served/tree" "$work/local/ours-tree"
  check_tree "$work/local/ours-tree"
}
# -----------------------------------------------------------------------------------------------

[ -x "$OURS" ] || echo "sftp: our client's figures are missing: $OURS is not built" >&2
# One round of each first, not timed: the first pays for memory the machine must find for the files.
openssh_download; ours_download; openssh_upload; ours_upload; openssh_tree; ours_tree

our_down=0 our_up=0 our_tree=0
: >"$work/results"
for run in $(seq "$RUNS"); do
  if [ $((run % 2)) -eq 1 ]; then
    openssh_download; ours_download; ours_upload; openssh_upload; openssh_tree; ours_tree
  else
    ours_tree; openssh_tree; openssh_upload; ours_upload; ours_download; openssh_download
  fi
  echo "run $run: OpenSSH down $their_down up $their_up tree $their_tree s; ours down $our_down up $our_up" \
    "tree $our_tree s, peak $our_peak MiB" >&2
  # Per run: OpenSSH's MB/s down and up, tree seconds; ratios of speeds down and up, of times for the tree.
  awk -v b="$((MIB * 1048576))" -v td="$their_down" -v tu="$their_up" -v tt="$their_tree" -v d="$our_down" \
    -v u="$our_up" -v t="$our_tree" 'BEGIN {
      printf "%.1f %.1f %.3f %.6f %.6f %.6f\n", b / 1e6 / td, b / 1e6 / tu, tt, d ? td / d : 0, u ? tu / u : 0, t / tt }' \
    >>"$work/results"
done

printf 'sftp_openssh_download_MBps %s MB/s\n' "$(cut -d' ' -f1 "$work/results" | median)"
printf 'sftp_openssh_upload_MBps %s MB/s\n' "$(cut -d' ' -f2 "$work/results" | median)"
printf 'sftp_openssh_tree_1000_s %s s\n' "$(cut -d' ' -f3 "$work/results" | median)"
if [ -x "$OURS" ]; then
  printf 'sftp_download_vs_openssh %.2f ratio\n' "$(cut -d' ' -f4 "$work/results" | median)"
  printf 'sftp_upload_vs_openssh %.2f ratio\n' "$(cut -d' ' -f5 "$work/results" | median)"
  printf 'sftp_tree_1000_vs_openssh %.2f ratio\n' "$(cut -d' ' -f6 "$work/results" | median)"
  printf 'sftp_peak_MiB %s MiB\n' "$our_peak"
fi
