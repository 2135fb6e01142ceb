#!/usr/bin/python3
"""A scripted SFTP server on paramiko for tests: password logins and faults sshd cannot give.

Usage: sftpserver.py ROOT HOSTKEY [--port N] [OPTION...]

Serves the folder ROOT as "/" on 127.0.0.1 (port 0 or none: a free one) to the user "tester"
with the password "s3cret-Pw"; prints "PORT n" once it listens and stops when stdin closes.
HOSTKEY is an ed25519 key file, made when missing; HOSTKEY.pub is written beside it.
--only-methods M[,M]  offers only these of password and keyboard-interactive (default: both).
--two-prompts  keyboard-interactive asks "Password: " and "Password again: ", both the password.
--cut-after N  drops the connection (no SSH goodbye) once N bytes of a file were read (exactly N go
             out) or written (the write that reaches N is kept whole); only the first transfer of each
             file name, so that a retry goes through.
--close-mid-transfer  every read of a file ends with the connection dropped at half its size.
--many N     the folder "many/" lists N files f00000, f00001, ... of as many bytes as their number;
             they are not on disk (stat knows them, open does not).
--hostile-names  the folder "hostile/" lists "../x", "a/b", "..", ".", "/etc/passwd" besides files
             really there: "with spaces.txt", "Grüße ☃.txt" and "new\\nline.txt".
--link-loop  the folder "loop/" holds "self", a symbolic link to "loop/" itself.
--short-reads N  every read answers at most N bytes, as servers with a smaller block do.
--stall-after N  a read of a file that reaches N bytes gets no answer, nor does any later request
             of its connection (a server that hung); the connection stays up.
Every login attempt is appended to "logins.log" beside HOSTKEY: the method and the user, never a
secret ("password tester"), so that a test can tell that nothing was sent.
A rename onto an existing name is refused (as OpenSSH's server does); posix-rename replaces it.
"""

import argparse
import os
import select
import signal
import socket
import stat
import subprocess
import sys
import threading

import paramiko
from paramiko import SFTPAttributes, SFTPHandle, SFTPServer, SFTPServerInterface
from paramiko.sftp import SFTP_FAILURE, SFTP_OK

USER, PASSWORD = "tester", "s3cret-Pw"
HOSTILE = ["../x", "a/b", "..", ".", "/etc/passwd"]
HOSTILE_FILES = ["with spaces.txt", "Grüße ☃.txt", "new\nline.txt"]


class Auth(paramiko.ServerInterface):
    def __init__(self, options, transport):
        self.options, self.transport, self.user = options, transport, None

    def record(self, method, username):
        with self.options.lock, open(self.options.logins, "a") as f:
            f.write("%s %s\n" % (method, username))

    def get_allowed_auths(self, username):
        return ",".join(self.options.methods)

    def check_channel_request(self, kind, chanid):
        return paramiko.OPEN_SUCCEEDED if kind == "session" else paramiko.OPEN_FAILED_ADMINISTRATIVELY_PROHIBITED

    def check_auth_password(self, username, password):
        self.record("password", username)
        ok = "password" in self.options.methods and (username, password) == (USER, PASSWORD)
        return paramiko.AUTH_SUCCESSFUL if ok else paramiko.AUTH_FAILED

    def check_auth_interactive(self, username, submethods):
        self.record("keyboard-interactive", username)
        if "keyboard-interactive" not in self.options.methods:
            return paramiko.AUTH_FAILED
        self.user = username
        query = paramiko.InteractiveQuery("", "", ("Password: ", False))
        if self.options.two_prompts:
            query.add_prompt("Password again: ", False)
        return query

    def check_auth_interactive_response(self, responses):
        ok = self.user == USER and len(responses) == (2 if self.options.two_prompts else 1) and \
            all(r == PASSWORD for r in responses)
        return paramiko.AUTH_SUCCESSFUL if ok else paramiko.AUTH_FAILED


def cut(transport):
    """The line goes down: the socket is shut without an SSH disconnect message."""
    try:
        transport.sock.shutdown(socket.SHUT_RDWR)
    except OSError:
        pass
    transport.close()


def status(call):
    """A file system call as an SFTP request: its result (SFTP_OK for none), or the error's status."""
    def run(*args):
        try:
            result = call(*args)
            return SFTP_OK if result is None else result
        except OSError as e:
            return SFTPServer.convert_errno(e.errno)
    return run


class Handle(SFTPHandle):
    def __init__(self, server, fd, name, flags):
        super().__init__(flags)
        self.server, self.fd, self.name, self.moved = server, fd, name, 0
        self.size = os.fstat(fd).st_size
        self.cut_at = server.cut_point(name)

    @status
    def read(self, offset, length):
        # Where this download stops: --cut-after once, --close-mid-transfer always at half.
        stops = [self.cut_at] if self.cut_at is not None else []
        if self.server.options.close_mid_transfer and self.size > 1:
            stops.append(self.size // 2)
        if self.server.options.stall_after is not None and self.moved + length >= self.server.options.stall_after:
            threading.Event().wait()  # hung: this connection's requests wait behind this one
        if stops and self.moved >= min(stops):
            cut(self.server.transport)
            return SFTP_FAILURE
        length = min([length, self.server.options.short_reads or length] + [s - self.moved for s in stops])
        data = os.pread(self.fd, length, offset)
        self.moved += len(data)
        return data

    @status
    def write(self, offset, data):
        if not self.server.transport.is_active():  # requests already buffered when the line went down
            return SFTP_FAILURE
        os.pwrite(self.fd, data, offset)
        self.moved += len(data)
        if self.cut_at is not None and self.moved >= self.cut_at:
            cut(self.server.transport)

    def stat(self):
        return SFTPAttributes.from_stat(os.fstat(self.fd))

    def chattr(self, attr):
        return SFTPServer.set_file_attr(self.server.local(self.name), attr)

    def close(self):
        os.close(self.fd)


class Files(SFTPServerInterface):
    def __init__(self, auth, *args, **kwargs):
        super().__init__(auth)
        self.options, self.transport = auth.options, auth.transport

    @staticmethod
    def normal(path):
        return os.path.normpath("/" + path.lstrip("/"))

    def canonicalize(self, path):
        """REALPATH: links resolved, as OpenSSH's server does, but never above the root."""
        inside = os.path.relpath(os.path.realpath(self.local(path)), self.options.root)
        return self.normal(path) if inside.startswith("..") else self.normal(inside)

    def local(self, path):
        return os.path.join(self.options.root, self.normal(path).lstrip("/"))

    def cut_point(self, name):
        if self.options.cut_after is None:
            return None
        with self.options.lock:
            if name in self.options.cut_done:
                return None
            self.options.cut_done.add(name)
        return self.options.cut_after

    @staticmethod
    def make_attr(name, size):
        attr = SFTPAttributes()
        attr.filename, attr.st_size, attr.st_mode = name, size, stat.S_IFREG | 0o644
        attr.st_uid = attr.st_gid = 0
        attr.st_atime = attr.st_mtime = 1700000000
        return attr

    @status
    def list_folder(self, path):
        path = self.normal(path)
        if self.options.many and path == "/many":
            return [self.make_attr("f%05d" % i, i) for i in range(self.options.many)]
        folder = self.local(path)
        entries = [SFTPAttributes.from_stat(os.lstat(os.path.join(folder, n)), n) for n in os.listdir(folder)]
        if self.options.hostile_names and path == "/hostile":
            entries += [self.make_attr(n, 10) for n in HOSTILE]
        return entries

    def stat_with(self, path, call):
        folder, name = os.path.split(self.normal(path))
        if self.options.many and folder == "/many" and name[:1] == "f" and name[1:].isdigit():
            return self.make_attr(name, int(name[1:]))  # only listed, not on disk
        return SFTPAttributes.from_stat(call(self.local(path)))

    @status
    def stat(self, path):
        return self.stat_with(path, os.stat)

    @status
    def lstat(self, path):
        return self.stat_with(path, os.lstat)

    @status
    def open(self, path, flags, attr):
        mode = attr.st_mode & 0o7777 if attr is not None and attr.st_mode is not None else 0o644
        return Handle(self, os.open(self.local(path), flags, mode), self.normal(path), flags)

    @status
    def remove(self, path):
        os.remove(self.local(path))

    @status
    def rename(self, oldpath, newpath):
        if os.path.lexists(self.local(newpath)):
            return SFTP_FAILURE
        os.rename(self.local(oldpath), self.local(newpath))

    @status
    def posix_rename(self, oldpath, newpath):
        os.rename(self.local(oldpath), self.local(newpath))

    @status
    def mkdir(self, path, attr):
        os.mkdir(self.local(path))

    @status
    def rmdir(self, path):
        os.rmdir(self.local(path))

    def chattr(self, path, attr):
        return SFTPServer.set_file_attr(self.local(path), attr)

    @status
    def readlink(self, path):
        return os.readlink(self.local(path))

    @status
    def symlink(self, target_path, path):
        os.symlink(target_path, self.local(path))


def prepare(options):
    """The fixed folders of the fault options, and the host key."""
    root = options.root
    if options.many:
        os.makedirs(os.path.join(root, "many"), exist_ok=True)
    if options.hostile_names:
        os.makedirs(os.path.join(root, "hostile"), exist_ok=True)
        for name in HOSTILE_FILES:
            with open(os.path.join(root, "hostile", name), "w") as f:
                f.write(name + "\n")
    if options.link_loop:
        os.makedirs(os.path.join(root, "loop"), exist_ok=True)
        if not os.path.lexists(os.path.join(root, "loop", "self")):
            os.symlink(".", os.path.join(root, "loop", "self"))
    if not os.path.exists(options.hostkey):
        subprocess.run(["ssh-keygen", "-q", "-t", "ed25519", "-N", "", "-C", "", "-f", options.hostkey],
                       check=True, stdin=subprocess.DEVNULL)
    key = paramiko.Ed25519Key(filename=options.hostkey)
    with open(options.hostkey + ".pub", "w") as f:
        f.write("%s %s\n" % (key.get_name(), key.get_base64()))
    return key


def serve(listener, key, options):
    while True:
        try:
            conn, _ = listener.accept()
        except OSError:
            return
        transport = paramiko.Transport(conn)
        transport.add_server_key(key)
        transport.set_subsystem_handler("sftp", SFTPServer, Files)
        try:
            transport.start_server(server=Auth(options, transport))
        except (paramiko.SSHException, EOFError, OSError):
            transport.close()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("root")
    parser.add_argument("hostkey")
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--only-methods")
    parser.add_argument("--two-prompts", action="store_true")
    parser.add_argument("--cut-after", type=int)
    parser.add_argument("--close-mid-transfer", action="store_true")
    parser.add_argument("--many", type=int, default=0)
    parser.add_argument("--hostile-names", action="store_true")
    parser.add_argument("--link-loop", action="store_true")
    parser.add_argument("--stall-after", type=int)
    parser.add_argument("--short-reads", type=int)
    options = parser.parse_args()
    options.root = os.path.abspath(options.root)
    options.methods = (options.only_methods or "password,keyboard-interactive").split(",")
    options.lock, options.cut_done = threading.Lock(), set()
    options.logins = os.path.join(os.path.dirname(os.path.abspath(options.hostkey)), "logins.log")
    key = prepare(options)
    listener = socket.socket()
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("127.0.0.1", options.port))
    listener.listen(16)
    threading.Thread(target=serve, args=(listener, key, options), daemon=True).start()
    print("PORT %d" % listener.getsockname()[1], flush=True)
    while True:
        if select.select([sys.stdin], [], [], 1)[0] and not os.read(sys.stdin.fileno(), 4096):
            break
    listener.close()
    os._exit(0)  # the connections' threads end with the process


if __name__ == "__main__":
    signal.signal(signal.SIGTERM, lambda *_: os._exit(0))
    main()
