#!/usr/bin/python3
"""OpenSSH's sshd on 127.0.0.1 for tests and benchmarks: SFTP only, public-key logins as root.

Usage: sshd.py FOLDER [--port N] [--passphrase P] [--log-level L]
               [--known-hosts FILE [--hashed] [--changed]]

Prepares FOLDER (what is there already is kept, so a second start has the same keys):
  host_ed25519_key, host_rsa_key (+ .pub)   the server's host keys
  client/id_ed25519, client/id_rsa          client keys without passphrase (+ .pub)
  client/id_ecdsa                           a client key protected by the passphrase (--passphrase)
  home/.ssh                                 a link to client/, for a HOME whose ~/.ssh is client/
  authorized_keys                           the three client public keys
  root/                                     where the SFTP session starts (paths stay absolute)
  sshd_config, sshd.pid, sshd.log           the server's configuration, process id and log
Starts /usr/sbin/sshd on a free port (or --port), waits until it answers, prints "PORT n" and runs
until stdin closes or SIGTERM, then stops sshd and the sessions it started.
Without root or sshd it prints "SKIP reason" and exits 0.
--known-hosts FILE  appends "[127.0.0.1]:port ssh-ed25519 KEY" for this server to FILE before
             "PORT n" is printed; --hashed hashes the host name as OpenSSH's HashKnownHosts does;
             --changed writes another ed25519 key instead of the server's (a host key that changed).
"""

import argparse
import base64
import hashlib
import hmac
import os
import select
import shutil
import signal
import socket
import subprocess
import sys
import time

SSHD = "/usr/sbin/sshd"


def keygen(path, kind, passphrase=""):
    if not os.path.exists(path):
        subprocess.run(["ssh-keygen", "-q", "-t", kind, "-N", passphrase, "-C", "", "-f", path],
                       check=True, stdin=subprocess.DEVNULL)


def public_key(path):
    with open(path + ".pub") as f:
        return " ".join(f.read().split()[:2])


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def known_hosts_entry(port, key, hashed):
    host = "[127.0.0.1]:%d" % port if port != 22 else "127.0.0.1"
    if hashed:
        salt = os.urandom(20)
        digest = hmac.new(salt, host.encode(), hashlib.sha1).digest()
        host = "|1|%s|%s" % (base64.b64encode(salt).decode(), base64.b64encode(digest).decode())
    return "%s %s\n" % (host, key)


def prepare(folder, args, port):
    client = os.path.join(folder, "client")
    os.makedirs(client, mode=0o700, exist_ok=True)
    os.makedirs(os.path.join(folder, "root"), exist_ok=True)
    os.makedirs(os.path.join(folder, "home"), exist_ok=True)
    if not os.path.lexists(os.path.join(folder, "home", ".ssh")):
        os.symlink("../client", os.path.join(folder, "home", ".ssh"))
    keygen(os.path.join(folder, "host_ed25519_key"), "ed25519")
    keygen(os.path.join(folder, "host_rsa_key"), "rsa")
    keygen(os.path.join(client, "id_ed25519"), "ed25519")
    keygen(os.path.join(client, "id_rsa"), "rsa")
    keygen(os.path.join(client, "id_ecdsa"), "ecdsa", args.passphrase)
    with open(os.path.join(folder, "authorized_keys"), "w") as f:
        for name in ("id_ed25519", "id_rsa", "id_ecdsa"):
            f.write(public_key(os.path.join(client, name)) + "\n")
    config = os.path.join(folder, "sshd_config")
    with open(config, "w") as f:
        f.write("""ListenAddress 127.0.0.1
Port {port}
HostKey {f}/host_ed25519_key
HostKey {f}/host_rsa_key
PidFile {f}/sshd.pid
AuthorizedKeysFile {f}/authorized_keys
PubkeyAuthentication yes
PasswordAuthentication no
KbdInteractiveAuthentication no
UsePAM no
StrictModes no
PermitRootLogin prohibit-password
UseDNS no
LogLevel {level}
Subsystem sftp internal-sftp
ForceCommand internal-sftp -d {f}/root
""".format(port=port, f=folder, level=args.log_level))
    return config


def wait_for_banner(port, sshd, seconds):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline and sshd.poll() is None:
        try:
            with socket.create_connection(("127.0.0.1", port), timeout=1) as s:
                if s.recv(64).startswith(b"SSH-"):
                    return True
        except OSError:
            time.sleep(0.05)
    return False


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("folder")
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--passphrase", default="open-Sesame7")
    parser.add_argument("--log-level", default="VERBOSE")
    parser.add_argument("--known-hosts")
    parser.add_argument("--hashed", action="store_true")
    parser.add_argument("--changed", action="store_true")
    args = parser.parse_args()
    if os.geteuid() != 0:
        print("SKIP sshd needs root", flush=True)
        return 0
    if not os.access(SSHD, os.X_OK) or not shutil.which("ssh-keygen"):
        print("SKIP no %s or ssh-keygen (openssh-server)" % SSHD, flush=True)
        return 0
    folder = os.path.abspath(args.folder)
    port = args.port or free_port()
    config = prepare(folder, args, port)
    os.makedirs("/run/sshd", mode=0o755, exist_ok=True)  # sshd's privilege separation folder
    sshd = subprocess.Popen([SSHD, "-D", "-e", "-f", config, "-E", os.path.join(folder, "sshd.log")],
                            stdin=subprocess.DEVNULL, start_new_session=True)

    def stop(*_):
        if sshd.poll() is None:
            os.killpg(sshd.pid, signal.SIGTERM)  # the listener and the sessions it forked
            try:
                sshd.wait(5)
            except subprocess.TimeoutExpired:
                os.killpg(sshd.pid, signal.SIGKILL)
        sys.exit(0)

    signal.signal(signal.SIGTERM, stop)
    if not wait_for_banner(port, sshd, 20):
        with open(os.path.join(folder, "sshd.log"), errors="replace") as log:
            sys.stderr.write("sshd did not start:\n" + log.read())
        stop()
    if args.known_hosts:
        key = public_key(os.path.join(folder, "host_ed25519_key"))
        if args.changed:
            other = os.path.join(folder, "other_ed25519_key")
            keygen(other, "ed25519")
            key = public_key(other)
        with open(args.known_hosts, "a") as f:
            f.write(known_hosts_entry(port, key, args.hashed))
    print("PORT %d" % port, flush=True)
    while sshd.poll() is None:
        ready, _, _ = select.select([sys.stdin], [], [], 1)
        if ready and not os.read(sys.stdin.fileno(), 4096):
            break
    stop()


if __name__ == "__main__":
    sys.exit(main())
