#!/usr/bin/env python3
"""HTTP server for tests that need a misbehaving patch server.

Serves the files below --root like a plain static server (200, 206 for "Range: bytes=N-",
416, 404), and lets a test replace the answer to chosen paths request by request.

Control (never logged):
  POST /_control  {"script": "/p", "responses": [B, B, ...], "then": B}
        the next requests of path /p (query ignored) get the behaviours B in order;
        afterwards "then" (or the normal file when "then" is missing or null)
  POST /_control  {"put": "/p", "body_b64": "..."}     serve these bytes at /p
  POST /_control  {"clear": "/prefix"}                  forget scripts, bodies and log below it
  GET  /_log?prefix=/prefix
        one line per request below the prefix, oldest first, fields separated by tabs:
        method, path with query, Range, Cache-Control, Pragma, User-Agent ("-" when absent),
        and the client's port (which tells the requests of one connection)

A behaviour B is a JSON object, every member optional:
  status       answer with this status (a short text body) instead of the file
  body_b64     use these bytes instead of the file's
  ignore_range answer 200 with the whole body even to a range request
  truncate     declare the full length but send only this many body bytes, then close
  extra        send this many extra bytes after the body (declared in Content-Length)
  drop         send this many body bytes, then reset the connection
  no_length    send no Content-Length; the end of the body is the closed connection
  slow_ms      sleep this long before each chunk of "chunk" bytes (default 4096)
  delay_ms     sleep this long before the status line
  trickle_ms   send the whole answer, status line and headers included, one byte per this
               many milliseconds
  endless_body send no Content-Length and body bytes without end, as fast as they are taken
  after_body   send this many bytes after the body, beyond its Content-Length
  endless_header  send the status line and then a header line every 50 ms, without end
  declare_length  declare this Content-Length, whatever the body holds (then close)
  content_encoding  send this Content-Encoding header (the body as given, not encoded here)
"""
import argparse
import base64
import json
import os
import socket
import struct
import sys
import threading
import time
import urllib.parse
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

STATE_LOCK = threading.Lock()
SCRIPTS = {}   # path -> {"queue": [behaviour, ...], "then": behaviour or None}
BODIES = {}    # path -> bytes
LOG = []       # (path, line)


def under(path, prefix):
    return path == prefix or path.startswith(prefix)


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "QvFault/1"

    def log_message(self, fmt, *args):  # keep the server's output quiet
        pass

    # ---- control -------------------------------------------------------------------
    def reply(self, status, body, content_type="text/plain"):
        self.send_response(status)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def do_POST(self):
        if urllib.parse.urlsplit(self.path).path != "/_control":
            return self.reply(405, b"only /_control takes POST\n")
        length = int(self.headers.get("Content-Length") or 0)
        try:
            order = json.loads(self.rfile.read(length) or b"{}")
        except ValueError as e:
            return self.reply(400, ("bad json: %s\n" % e).encode())
        with STATE_LOCK:
            if "script" in order:
                SCRIPTS[order["script"]] = {"queue": list(order.get("responses") or []),
                                            "then": order.get("then")}
            elif "put" in order:
                BODIES[order["put"]] = base64.b64decode(order.get("body_b64", ""))
            elif "clear" in order:
                prefix = order["clear"]
                for table in (SCRIPTS, BODIES):
                    for key in [k for k in table if under(k, prefix)]:
                        del table[key]
                LOG[:] = [entry for entry in LOG if not under(entry[0], prefix)]
            else:
                return self.reply(400, b"unknown order\n")
        self.reply(200, b"ok\n")

    def send_log(self, query):
        prefix = urllib.parse.parse_qs(query).get("prefix", ["/"])[0]
        with STATE_LOCK:
            lines = [line for path, line in LOG if under(path, prefix)]
        self.reply(200, "".join(lines).encode("utf-8"))

    # ---- serving -------------------------------------------------------------------
    def do_GET(self):
        split = urllib.parse.urlsplit(self.path)
        if split.path == "/_log":
            return self.send_log(split.query)
        path = urllib.parse.unquote(split.path)

        def field(name):
            value = self.headers.get(name)
            return value.replace("\t", " ") if value is not None else "-"
        line = "\t".join([self.command, self.path, field("Range"), field("Cache-Control"),
                          field("Pragma"), field("User-Agent"), str(self.client_address[1])]) + "\n"
        with STATE_LOCK:
            LOG.append((path, line))
            behaviour = {}
            script = SCRIPTS.get(path)
            if script is not None:
                if script["queue"]:
                    behaviour = script["queue"].pop(0) or {}
                elif script["then"]:
                    behaviour = script["then"]
            body = BODIES.get(path)
        if body is None:
            body = self.read_file(path)
        if "body_b64" in behaviour:
            body = base64.b64decode(behaviour["body_b64"])
        self.answer(behaviour, body)

    def read_file(self, path):
        root = self.server.root
        full = os.path.realpath(os.path.join(root, path.lstrip("/")))
        if not (full == root or full.startswith(root + os.sep)) or not os.path.isfile(full):
            return None
        with open(full, "rb") as f:
            return f.read()

    def raw(self, data, per_byte=0.0):
        """Writes bytes straight to the socket; False once the client has gone."""
        try:
            if per_byte:
                for i in range(len(data)):
                    time.sleep(per_byte)
                    self.wfile.write(data[i:i + 1])
                    self.wfile.flush()
            else:
                self.wfile.write(data)
                self.wfile.flush()
            return True
        except (BrokenPipeError, ConnectionResetError, OSError):
            return False

    def answer_without_end(self, b, body):
        """The answers that never finish: they end when the client closes the connection."""
        self.close_connection = True
        if b.get("endless_header"):
            if not self.raw(b"HTTP/1.1 200 OK\r\n"):
                return
            n = 0
            while self.raw(b"X-Filler-%d: %s\r\n" % (n, b"f" * 64)):
                n += 1
                time.sleep(0.05)
            return
        if b.get("endless_body"):
            head = b"HTTP/1.1 200 OK\r\nContent-Type: application/octet-stream\r\nConnection: close\r\n\r\n"
            block = b"0," * 32768
            if self.raw(head):
                while self.raw(block):
                    pass
            return
        head = (b"HTTP/1.1 200 OK\r\nContent-Type: application/octet-stream\r\n"
                b"Content-Length: %d\r\nConnection: close\r\n\r\n" % len(body))
        self.raw(head + body, b["trickle_ms"] / 1000.0)

    def answer(self, b, body):
        if b.get("delay_ms"):
            time.sleep(b["delay_ms"] / 1000.0)
        if b.get("endless_header") or b.get("endless_body") or b.get("trickle_ms"):
            return self.answer_without_end(b, body if body is not None else b"")
        status = b.get("status")
        content_range = None
        if status is None and body is None:
            status = 404
        if status is not None and "body_b64" not in b:
            body = ("status %d\n" % status).encode()
        if status is None:
            status = 200
            match = None
            rng = self.headers.get("Range")
            if rng and not b.get("ignore_range"):
                match = rng.strip()
            if match and match.startswith("bytes=") and match.endswith("-") and "," not in match:
                try:
                    start = int(match[len("bytes="):-1])
                except ValueError:
                    start = None
                if start is not None:
                    if start >= len(body):
                        self.send_response(416)
                        self.send_header("Content-Range", "bytes */%d" % len(body))
                        self.send_header("Content-Length", "0")
                        self.end_headers()
                        return
                    content_range = "bytes %d-%d/%d" % (start, len(body) - 1, len(body))
                    body = body[start:]
                    status = 206
        extra = int(b.get("extra") or 0)
        body = body + b"X" * extra
        after = int(b.get("after_body") or 0)
        self.send_response(status)
        self.send_header("Content-Type", "application/octet-stream")
        if content_range:
            self.send_header("Content-Range", content_range)
        self.send_header("Accept-Ranges", "bytes")
        if b.get("content_encoding"):
            self.send_header("Content-Encoding", b["content_encoding"])
        closing = any(b.get(k) is not None for k in ("truncate", "drop", "no_length", "declare_length"))
        if not b.get("no_length"):
            self.send_header("Content-Length", str(b.get("declare_length") or len(body)))
        if closing:
            self.send_header("Connection", "close")
            self.close_connection = True
        self.end_headers()
        send = body
        if b.get("truncate") is not None:
            send = body[:int(b["truncate"])]
        if b.get("drop") is not None:
            send = body[:int(b["drop"])]
        chunk = int(b.get("chunk") or 4096)
        slow = (b.get("slow_ms") or 0) / 1000.0
        try:
            for i in range(0, len(send), chunk):
                if slow:
                    time.sleep(slow)
                self.wfile.write(send[i:i + chunk])
                self.wfile.flush()
            if after:
                self.wfile.write(b"HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\nBAD" + b"Y" * after)
                self.wfile.flush()
            if b.get("drop") is not None:
                # A reset rather than an orderly close: the client sees a broken connection.
                self.connection.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER,
                                           struct.pack("ii", 1, 0))
                self.connection.close()
        except (BrokenPipeError, ConnectionResetError):
            self.close_connection = True


class Server(ThreadingHTTPServer):
    daemon_threads = True
    allow_reuse_address = True


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--root", required=True)
    parser.add_argument("--port-file", required=True)
    parser.add_argument("--pid-file", required=True)
    parser.add_argument("--port", type=int, default=0, help="listen here rather than on a free port")
    args = parser.parse_args()
    with open(args.pid_file, "w") as f:
        f.write("%d\n" % os.getpid())
    server = Server(("127.0.0.1", args.port), Handler)
    server.root = os.path.realpath(args.root)
    tmp = args.port_file + ".tmp"
    with open(tmp, "w") as f:
        f.write("%d\n" % server.server_address[1])
    os.replace(tmp, args.port_file)
    try:
        server.serve_forever()
    except KeyboardInterrupt:
        pass
    return 0


if __name__ == "__main__":
    sys.exit(main())
