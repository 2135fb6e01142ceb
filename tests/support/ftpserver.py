#!/usr/bin/python3
"""A local FTP server for tests and benchmarks, built on pyftpdlib.

Usage: ftpserver.py ROOT USER PASSWORD PORT [--host ADDR] [OPTION...]

PORT 0 picks a free port. Once the server listens it prints "PORT n" on stdout.
--no-mlsd    hides MLSD/MLST, so clients must fall back to LIST.
--record F   appends the argument of every SITE PSWD to F; "SITE PSWD old new" answers 200.
--refuse-rmd N  answers 550 to every RMD of a folder named N, empty or not.
--delay V S  answers the command V (CWD, LIST, MLSD, DELE, ...) only after S seconds; the server
             serves other connections meanwhile.
--list-as N S  lists the entry named N under the name S (which may hold "/"), as a hostile server would.
--throttle B moves at most B bytes a second on each data connection, both ways (a slow line).
--list-line T   ends every LIST with the line T (repeatable): lines no client can read.
--tls CERT   offers FTP over TLS (AUTH TLS, PBSZ, PROT) with the certificate and key in the PEM file CERT.
--implicit   with --tls: TLS from the first byte (implicit FTPS), the greeting comes encrypted.
--tls-required  with --tls: USER/PASS and data connections only under TLS.
--reuse-required  with --tls: a protected data connection that does not resume the control
             connection's TLS session is refused with 522, as many servers do.
--cut-tls-retr N  with --tls: a protected RETR or listing sends N bytes, drops the connection without a TLS
             close_notify and answers 226 all the same (a truncation an attacker could cause).
--refuse-prot  with --tls: answers 534 to PROT P (data connections could only go in clear).
--data-cert C  with --tls: data connections present the certificate in C instead (a machine in between).
--no-size    does not know SIZE: a download's size is not known beforehand.
--commands F appends every command line the server receives to F (PASS with its argument hidden).
--max-connections N  at most N control connections open at a time, as servers with a per-user limit
             have: one more gets "421 Too many connections." instead of the greeting and is closed.
             A connection that ends frees its place.
--drop-retr-after N  a RETR ends after N bytes of the file: the server closes the data connection and
             the control connection at once, with no reply (a line that went down mid-file). Only the
             first RETR of each file name is dropped, so a retry gets the whole file; a file shorter
             than N bytes goes whole. Other connections go on unaffected.
--drop-retr-times T  with --drop-retr-after: the first T RETRs of each file name are dropped (default 1).
--drop-stor-after N  the same for uploads: the server keeps N bytes of its first STOR (or APPE), whatever
             the name, then drops both connections. Not with --tls or --throttle.
--drop-stor-reply T  with --drop-stor-after: only the data connection is closed, and T is the reply.
--no-rest    does not know REST: transfers cannot resume.
"""

import argparse
import socket
import sys

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.filesystems import AbstractedFS
from pyftpdlib.handlers import DTPHandler, FTPHandler, ThrottledDTPHandler, proto_cmds
from pyftpdlib.servers import FTPServer

try:  # python3-openssl: only needed with --tls
    from pyftpdlib.handlers import TLS_DTPHandler, TLS_FTPHandler
    from OpenSSL.SSL import _lib as openssl_lib
except ImportError:
    TLS_FTPHandler = None


class DropStor:
    """Data connections of --drop-stor-after (plain ones, without --tls or --throttle)."""

    def handle_read(self):
        channel = self.cmd_channel
        if not channel.drop_this_stor:
            return super().handle_read()
        room = channel.drop_stor_after - self.tot_bytes_received
        if room > 0:
            self.ac_in_buffer_size = min(type(self).ac_in_buffer_size, room)
            super().handle_read()
        if self.tot_bytes_received >= channel.drop_stor_after:
            self.file_obj.flush()
            if channel.drop_stor_reply:
                self._resp = (channel.drop_stor_reply, lambda *args, **kwargs: None)
                self.close()
            else:
                channel.drop_connections()

    handle_read_event = handle_read


class DropRetr:
    """Data connections of --drop-retr-after: the control connection says which RETR to drop."""

    sent_before_drop = 0

    def use_sendfile(self):
        return not self.cmd_channel.drop_this_retr and super().use_sendfile()  # send() must see the bytes

    def send(self, data):
        channel = self.cmd_channel
        if self.receive or self.file_obj is None or not channel.drop_this_retr:
            return super().send(data)
        room = channel.drop_retr_after - self.sent_before_drop
        sent = super().send(bytes(data)[:room]) if room > 0 else 0
        self.sent_before_drop += sent
        if self.sent_before_drop >= channel.drop_retr_after:
            channel.drop_connections()
        return sent


class FastDTPHandler(DropStor, DropRetr, DTPHandler):
    # Large receive chunks: with the default 64 KiB the server, not the client, limits uploads.
    ac_in_buffer_size = 1024 * 1024
    ac_out_buffer_size = 1024 * 1024


class TestFS(AbstractedFS):
    # shown name -> name on disk
    listed_as = {}
    extra_lines = []

    def format_list(self, basedir, listing, ignore_err=True):
        yield from AbstractedFS.format_list(self, basedir, listing, ignore_err)
        for line in self.extra_lines:
            yield (line + "\r\n").encode("utf-8")

    def listdir(self, path):
        shown = {real: name for name, real in self.listed_as.items()}
        return [shown.get(name, name) for name in AbstractedFS.listdir(self, path)]

    def _on_disk(self, path):
        for name, real in self.listed_as.items():
            if path.endswith("/" + name):
                return path[: -len(name)] + real
        return path

    def lstat(self, path):
        return AbstractedFS.lstat(self, self._on_disk(path))

    def stat(self, path):
        return AbstractedFS.stat(self, self._on_disk(path))


class TestHandler(FTPHandler):
    # Names that are not UTF-8 travel as their raw bytes, both ways.
    unicode_errors = "surrogateescape"
    auth_failed_timeout = 0.1  # tests try wrong passwords; no need to wait 3 s
    dtp_handler = FastDTPHandler
    record_file = None
    refused_rmd = None
    delays = {}
    max_connections = 0  # control connections open at a time; 0: no limit
    open_connections = 0  # shared by all connections
    counted = False
    drop_retr_after = None
    drop_retr_times = 1
    dropped_names = {}  # shared: how many RETRs of each file were dropped
    drop_this_retr = False
    drop_stor_after = None
    drop_this_stor = False
    drop_stor_reply = None
    stor_dropped = False  # shared

    def handle(self):
        if self.max_connections and TestHandler.open_connections >= self.max_connections:
            self.respond("421 Too many connections.")
            self.close_when_done()
            return
        TestHandler.open_connections += 1
        self.counted = True
        FTPHandler.handle(self)

    def close(self):
        if self.counted:
            self.counted = False
            TestHandler.open_connections -= 1
        FTPHandler.close(self)

    def ftp_RETR(self, file):
        self.drop_this_retr = (self.drop_retr_after is not None
                               and self.dropped_names.get(file, 0) < self.drop_retr_times and self.fs.isfile(file))
        if self.drop_this_retr:
            self.dropped_names[file] = self.dropped_names.get(file, 0) + 1
        return FTPHandler.ftp_RETR(self, file)

    def ftp_STOR(self, file, mode="w"):
        self.drop_this_stor = self.drop_stor_after is not None and not TestHandler.stor_dropped
        TestHandler.stor_dropped = TestHandler.stor_dropped or self.drop_this_stor
        return FTPHandler.ftp_STOR(self, file, mode)

    def drop_connections(self):
        """Closes the data and the control connection at once, with no reply and no TLS close_notify."""
        data, self.data_channel = self.data_channel, None
        for connection in (data, self):
            if connection is not None:
                connection._error = True
                connection.close()

    def process_command(self, cmd, *args, **kwargs):
        delay = self.delays.get(cmd)
        if not delay:
            return FTPHandler.process_command(self, cmd, *args, **kwargs)

        def later():
            FTPHandler.process_command(self, cmd, *args, **kwargs)  # nothing once closed

        self.ioloop.call_later(delay, later)

    def ftp_RMD(self, path):
        if self.refused_rmd and path.rstrip("/").split("/")[-1] == self.refused_rmd:
            self.respond("550 Removing this folder is not allowed.")
            return
        return FTPHandler.ftp_RMD(self, path)

    def pre_process_command(self, line, cmd, arg):
        if self.commands_file:
            shown = "PASS ****" if cmd == "PASS" else line
            with open(self.commands_file, "a", encoding="utf-8", errors="surrogateescape") as f:
                f.write(shown + "\n")
        return FTPHandler.pre_process_command(self, line, cmd, arg)

    commands_file = None

    def ftp_SITE_PSWD(self, line):
        if self.record_file:
            with open(self.record_file, "a", encoding="utf-8", errors="surrogateescape") as f:
                f.write(line + "\n")
        if len(line.split(" ")) >= 2:
            self.respond("200 Password changed.")
        else:
            self.respond("501 Syntax: SITE PSWD old new.")


def tls_handlers(base, implicit, reuse_required, cut_retr, data_cert, refuse_prot=False):
    data_context = None
    if data_cert:
        from OpenSSL import SSL
        data_context = SSL.Context(SSL.TLS_SERVER_METHOD)
        data_context.use_certificate_chain_file(data_cert)
        data_context.use_privatekey_file(data_cert)

    class DataHandler(DropRetr, TLS_DTPHandler):
        ac_in_buffer_size = 1024 * 1024
        ac_out_buffer_size = 1024 * 1024

        def secure_connection(self, ssl_context):
            TLS_DTPHandler.secure_connection(self, data_context or ssl_context)

        sent_so_far = 0

        def readable(self):
            # A client may start the data connection's handshake before it sends RETR; pyftpdlib
            # would take that early ClientHello for a closed connection.
            if self._ssl_accepting:
                return True
            return TLS_DTPHandler.readable(self)

        def handle_ssl_established(self):
            if reuse_required and not openssl_lib.SSL_session_reused(self.socket._ssl):
                self.cmd_channel.respond("522 SSL connection failed: session reuse required.")
                self._error = True  # no TLS shutdown: just drop it
                self.close()

        def send(self, data):
            if cut_retr is None or self.receive:
                return super().send(data)
            room = cut_retr - self.sent_so_far
            sent = TLS_DTPHandler.send(self, bytes(data)[:room]) if room > 0 else 0
            # Cut at the first send that reaches the limit, whether TLS took all of that or only part:
            # under load a retry would otherwise send the rest whole. Also where this send ended the handshake
            # (before pyftpdlib calls it established); not where TLS took nothing yet (still shaking hands).
            reached = (sent > 0 or room <= 0) and self.sent_so_far + len(data) >= cut_retr
            self.sent_so_far += sent
            if reached:
                # The TCP connection ends under TLS's feet: no close_notify.
                self.socket.sock_shutdown(socket.SHUT_RDWR)
                channel = self.cmd_channel
                channel.data_channel = None
                self._error = True
                DTPHandler.close(self)
                channel.respond("226 Transfer complete.")
            return sent

    class Handler(TLS_FTPHandler, base):
        dtp_handler = DataHandler

        def handle(self):
            if implicit:
                self.secure_connection(self.ssl_context)
            base.handle(self)  # the connection limit; the greeting

        def pre_process_command(self, line, cmd, arg):
            return base.pre_process_command(self, line, cmd, arg)

        def ftp_PROT(self, line):
            if refuse_prot:
                self.respond("534 Protected data connections are not available.")
                return
            return TLS_FTPHandler.ftp_PROT(self, line)

    return Handler


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("root")
    parser.add_argument("user")
    parser.add_argument("password")
    parser.add_argument("port", type=int)
    parser.add_argument("--host", default="127.0.0.1")
    parser.add_argument("--no-mlsd", action="store_true")
    parser.add_argument("--record")
    parser.add_argument("--refuse-rmd")
    parser.add_argument("--delay", nargs=2, action="append", default=[], metavar=("VERB", "SECONDS"))
    parser.add_argument("--list-as", nargs=2, action="append", default=[], metavar=("NAME", "SHOWN"))
    parser.add_argument("--throttle", type=int, default=0, metavar="BYTES_PER_SECOND")
    parser.add_argument("--list-line", action="append", default=[])
    parser.add_argument("--tls", metavar="CERT")
    parser.add_argument("--implicit", action="store_true")
    parser.add_argument("--tls-required", action="store_true")
    parser.add_argument("--reuse-required", action="store_true")
    parser.add_argument("--cut-tls-retr", type=int, metavar="BYTES")
    parser.add_argument("--data-cert", metavar="CERT")
    parser.add_argument("--refuse-prot", action="store_true")
    parser.add_argument("--commands")
    parser.add_argument("--no-size", action="store_true")
    parser.add_argument("--max-connections", type=int, default=0)
    parser.add_argument("--drop-retr-after", type=int, metavar="BYTES")
    parser.add_argument("--drop-stor-after", type=int, metavar="BYTES")
    parser.add_argument("--drop-retr-times", type=int, default=1)
    parser.add_argument("--drop-stor-reply")
    parser.add_argument("--no-rest", action="store_true")
    args = parser.parse_args()

    cmds = dict(proto_cmds)
    cmds["SITE PSWD"] = dict(perm=None, auth=True, arg=True, help="Syntax: SITE PSWD <SP> old <SP> new.")
    if args.no_size:
        cmds.pop("SIZE", None)
    if args.no_rest:
        cmds.pop("REST", None)
    if args.no_mlsd:
        cmds.pop("MLSD", None)
        cmds.pop("MLST", None)
    TestHandler.proto_cmds = cmds
    TestHandler.record_file = args.record
    TestHandler.refused_rmd = args.refuse_rmd
    TestHandler.delays = {verb.upper(): float(seconds) for verb, seconds in args.delay}
    TestFS.listed_as = {shown: name for name, shown in args.list_as}
    TestHandler.abstracted_fs = TestFS
    if args.throttle > 0:
        class SlowDTPHandler(DropRetr, ThrottledDTPHandler):
            read_limit = args.throttle
            write_limit = args.throttle
            # Small chunks, each followed by its share of the second: the data moves evenly, not in
            # one burst a second, so that a client can act in the middle of a small file.
            ac_in_buffer_size = ac_out_buffer_size = max(1024, min(16384, args.throttle // 32))

            def _throttle_bandwidth(self, len_chunk, max_speed):
                def unsleep():
                    self.add_channel(events=self.ioloop.READ if self.receive else self.ioloop.WRITE)

                self.del_channel()
                self._cancel_throttler()
                self._throttler = self.ioloop.call_later(len_chunk / max_speed, unsleep, _errback=self.handle_error)

        TestHandler.dtp_handler = SlowDTPHandler
    TestFS.extra_lines = args.list_line
    TestHandler.commands_file = args.commands
    TestHandler.max_connections = args.max_connections
    TestHandler.drop_retr_after = args.drop_retr_after
    TestHandler.drop_retr_times = args.drop_retr_times
    TestHandler.drop_stor_reply = args.drop_stor_reply
    TestHandler.drop_stor_after = args.drop_stor_after
    handler = TestHandler
    if args.tls:
        if TLS_FTPHandler is None:
            sys.exit("--tls needs python3-openssl")
        handler = tls_handlers(TestHandler, args.implicit, args.reuse_required, args.cut_tls_retr, args.data_cert,
                               args.refuse_prot)
        # The TLS handler has a command table of its own: the commands taken away go from it too.
        gone = set(proto_cmds) - set(cmds)
        handler.proto_cmds = {k: v for k, v in dict(handler.proto_cmds, **cmds).items() if k not in gone}
        handler.certfile = args.tls
        handler.tls_control_required = args.tls_required
        handler.tls_data_required = args.tls_required

    authorizer = DummyAuthorizer()
    authorizer.add_user(args.user, args.password, args.root, perm="elradfmwMT")
    handler.authorizer = authorizer
    handler.banner = "Test server ready."

    server = FTPServer((args.host, args.port), handler)
    server.max_cons = 64
    print("PORT %d" % server.address[1], flush=True)
    server.serve_forever(handle_exit=True)


if __name__ == "__main__":
    sys.exit(main())
