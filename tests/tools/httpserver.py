#!/usr/bin/env python3
"""An HTTP server for the download manager's tests, on 127.0.0.1 and a free port.

Prints "PORT <n>" when it listens, then "GET <path>" for every request and "DONE <path>" when it
has sent the body. The path chooses the behaviour; bodies are TestSupport::pattern's bytes:
  /file/N/name               N bytes with their length
  /nolength/N/name           N bytes, no length, the connection closes at the end
  /status/CODE/name          an error page with that status
  /redirect/K/rest...        K redirects, then /rest...
  /to/PORT/rest...           a redirect to http://127.0.0.1:PORT/rest...
  /slow/N/CHUNK/MS/name      N bytes in chunks of CHUNK bytes, MS milliseconds apart
  /short/ANNOUNCED/SENT/name announces one length, sends fewer bytes and closes
  /long/ANNOUNCED/SENT/name  announces one length, sends more
  /stall/ANNOUNCED/SENT/name announces one length, sends fewer bytes and then nothing for a minute
  /chunked/N/CHUNK/name      N bytes in chunks of CHUNK bytes, chunked transfer encoding
  /delay/MS/rest...          waits MS milliseconds before answering as /rest... does
With --tls PEM (certificate and key) it serves https.
"""
import ssl
import sys
import time
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

# (i * 7 + i / 4096) & 0xff repeats every MiB; within 4 KiB only the i * 7 part changes.
BASE = bytes(i * 7 & 0xFF for i in range(4096))
BLOCK = b"".join(BASE.translate(bytes((v + k) & 0xFF for v in range(256))) for k in range(256))


def body(n):
    while n > 0:
        yield BLOCK[:n]
        n -= len(BLOCK)


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass

    def send_body(self, n, announced=None, chunk=0, delay=0.0, chunked=False):
        self.send_response(200)
        if chunked:
            self.send_header("Transfer-Encoding", "chunked")
        elif announced is not None:
            self.send_header("Content-Length", str(announced))
        else:
            self.send_header("Connection", "close")
            self.close_connection = True
        self.end_headers()
        for block in body(n):
            for i in range(0, len(block), chunk or len(block)):
                piece = block[i:i + (chunk or len(block))]
                self.wfile.write(b"%x\r\n%s\r\n" % (len(piece), piece) if chunked else piece)
                if delay:
                    self.wfile.flush()
                    time.sleep(delay)
        self.wfile.write(b"0\r\n\r\n" if chunked else b"")
        self.wfile.flush()
        print("DONE " + self.path, flush=True)

    def do_GET(self):
        print("GET " + self.path, flush=True)
        parts = self.path.strip("/").split("/")
        while parts[0] == "delay":
            time.sleep(int(parts[1]) / 1000.0)
            parts = parts[2:]
        kind = parts[0]
        try:
            if kind == "file":
                self.send_body(int(parts[1]), announced=int(parts[1]))
            elif kind == "nolength":
                self.send_body(int(parts[1]))
            elif kind == "status":
                page = b"<html><body>error page</body></html>"
                self.send_response(int(parts[1]))
                self.send_header("Content-Length", str(len(page)))
                self.end_headers()
                self.wfile.write(page)
            elif kind in ("redirect", "to"):
                rest = "/".join(parts[2:])
                if kind == "to":
                    target = "http://127.0.0.1:%s/%s" % (parts[1], rest)
                else:
                    target = "/redirect/%d/%s" % (int(parts[1]) - 1, rest) if int(parts[1]) > 1 else "/" + rest
                self.send_response(302)
                self.send_header("Location", target)
                self.send_header("Content-Length", "0")
                self.end_headers()
            elif kind == "slow":
                n, chunk, ms = int(parts[1]), int(parts[2]), int(parts[3])
                self.send_body(n, announced=n, chunk=chunk, delay=ms / 1000.0)
            elif kind in ("short", "long", "stall"):
                self.send_body(int(parts[2]), announced=int(parts[1]))
                time.sleep(60 if kind == "stall" else 0)
                self.close_connection = True
            elif kind == "chunked":
                self.send_body(int(parts[1]), chunk=int(parts[2]), chunked=True)
            else:
                self.send_error(404)
        except (BrokenPipeError, ConnectionResetError, ssl.SSLError):
            self.close_connection = True


def main():
    server = ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    server.daemon_threads = True
    if len(sys.argv) == 3 and sys.argv[1] == "--tls":
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(sys.argv[2])
        server.socket = context.wrap_socket(server.socket, server_side=True)
    print("PORT %d" % server.server_address[1], flush=True)
    server.serve_forever()


if __name__ == "__main__":
    main()
