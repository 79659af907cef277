#!/usr/bin/env python3
"""Local network services for the Windows tests: what WinInet under Wine talks to.

Starts, on 127.0.0.1 with ephemeral ports, a plain HTTP server, an HTTPS server trusted through the
test CA, an HTTPS server with a self-signed certificate, an HTTPS server whose CA nobody trusts, a
refused port and an HTTP proxy that requires Basic proxy authentication. Every server answers by
request path (see README.md) and records each request exactly as received. When all are listening
the ports file is written; the program then runs until it is killed.

Standard library only (Debian 12's python3).
"""

import argparse
import base64
import http.client
import json
import os
import select
import signal
import socket
import socketserver
import ssl
import sys
import threading
import time
import urllib.parse

import update_service
import update_sites

HERE = os.path.dirname(os.path.abspath(__file__))
FIXTURES = os.path.join(HERE, "fixtures")
STATS_TABLE = os.path.join(FIXTURES, "jstat-codes.txt")
LOOPBACK = "127.0.0.1"
MAX_LINE = 65536
PATTERN_TEXT = b"0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"


def pattern_bytes(size, binary=False):
    """The known body of /body: byte i is PATTERN_TEXT[i % 62], or i % 256 for binary."""
    cycle = bytes(range(256)) if binary else PATTERN_TEXT
    whole, rest = divmod(size, len(cycle))
    return cycle * whole + cycle[:rest]


class Recorder:
    """Every request seen by any server, in arrival order; bytes are kept as U+0000..U+00FF."""

    def __init__(self):
        self._lock = threading.Lock()
        self._entries = []
        self._next_id = 1
        self._tunnels = {}  # local port of a proxy->server connection -> the proxy's record

    def add(self, entry):
        with self._lock:
            entry["id"] = self._next_id
            self._next_id += 1
            self._entries.append(entry)
            return entry

    def select(self, server=None, contains=None):
        with self._lock:
            found = list(self._entries)
        if server:
            found = [e for e in found if e["server"] == server]
        if contains:
            found = [e for e in found if contains in e["requestLine"]
                     or any(contains in value for _, value in e["headers"])]
        return found

    def reset(self):
        with self._lock:
            self._entries.clear()

    def open_tunnel(self, port, proxy_record):
        with self._lock:
            self._tunnels[port] = proxy_record

    def close_tunnel(self, port):
        with self._lock:
            self._tunnels.pop(port, None)

    def proxy_for(self, peer_port):
        with self._lock:
            record = self._tunnels.get(peer_port)
        if record is None:
            return None
        return {k: record[k] for k in ("id", "requestLine", "headers", "proxyUser", "proxyPassword")}


class Request:
    """One request as read from the wire."""

    def __init__(self, line, header_lines, headers, body):
        self.line = line                  # the request line, without CRLF
        self.header_lines = header_lines  # raw header lines with their line ends
        self.headers = headers            # [(name, value)] in order, values stripped
        self.body = body
        parts = line.split(" ")
        self.method = parts[0] if parts else ""
        self.target = parts[1] if len(parts) > 1 else ""
        self.version = parts[2] if len(parts) > 2 else "HTTP/0.9"
        parsed = urllib.parse.urlsplit(self.target)
        self.path = parsed.path
        self.query = urllib.parse.parse_qs(parsed.query, keep_blank_values=True)

    def header(self, name):
        for n, v in self.headers:
            if n.lower() == name.lower():
                return v
        return None

    def wants_close(self):
        connection = (self.header("Connection") or "").lower()
        if self.version == "HTTP/1.0":
            return "keep-alive" not in connection
        return "close" in connection

    def raw(self):
        return self.line.encode("latin-1") + b"\r\n" + b"".join(self.header_lines) + b"\r\n" + self.body

    def record(self, server, peer_port):
        return {"server": server, "peerPort": peer_port, "requestLine": self.line,
                "headers": [[n, v] for n, v in self.headers], "body": self.body.decode("latin-1")}


def read_request(rfile):
    """Reads one request; None at a clean end of the connection."""
    line = rfile.readline(MAX_LINE)
    while line in (b"\r\n", b"\n"):
        line = rfile.readline(MAX_LINE)
    if not line:
        return None
    header_lines, headers = [], []
    while True:
        raw = rfile.readline(MAX_LINE)
        if raw in (b"\r\n", b"\n", b""):
            break
        header_lines.append(raw)
        name, _, value = raw.decode("latin-1").rstrip("\r\n").partition(":")
        headers.append((name, value.strip()))
    request = Request(line.decode("latin-1").rstrip("\r\n"), header_lines, headers, b"")
    if "chunked" in (request.header("Transfer-Encoding") or "").lower():
        body = b""
        while True:
            size = int(rfile.readline(MAX_LINE).split(b";")[0].strip() or b"0", 16)
            if size == 0:
                while rfile.readline(MAX_LINE) not in (b"\r\n", b"\n", b""):
                    pass
                break
            body += rfile.read(size)
            rfile.readline(MAX_LINE)
        request.body = body
    else:
        length = int(request.header("Content-Length") or "0")
        request.body = rfile.read(length) if length > 0 else b""
    return request


class Reply:
    """An answer; framing is "length" (Content-Length), "close" (no length, the connection ends
    the body), "chunked" (Transfer-Encoding: chunked, pieces of `chunk` bytes) or "cut" (a
    Content-Length of twice the body, and the connection ends after the body: an answer cut short)."""

    def __init__(self, status=200, body=b"", content_type="text/plain", headers=None,
                 framing="length", chunk=1000, silent=False):
        self.status = status
        self.body = body
        self.headers = [("Content-Type", content_type)] + list(headers or [])
        self.framing = framing
        self.chunk = max(1, chunk)
        self.silent = silent

    def encode(self, close):
        head = ["HTTP/1.1 %d %s" % (self.status, http.client.responses.get(self.status, "Status"))]
        head += ["%s: %s" % h for h in self.headers]
        no_body = self.status in (204, 304) or 100 <= self.status < 200
        if no_body:
            payload = b""
        elif self.framing == "close":
            payload = self.body
        elif self.framing == "chunked":
            head.append("Transfer-Encoding: chunked")
            pieces = [self.body[i:i + self.chunk] for i in range(0, len(self.body), self.chunk)]
            payload = b"".join(b"%x\r\n%s\r\n" % (len(p), p) for p in pieces) + b"0\r\n\r\n"
        elif self.framing == "cut":
            head.append("Content-Length: %d" % (2 * len(self.body)))
            payload = self.body
        else:
            head.append("Content-Length: %d" % len(self.body))
            payload = self.body
        if close or self.framing in ("close", "cut"):
            head.append("Connection: close")
        return ("\r\n".join(head) + "\r\n\r\n").encode("latin-1") + payload

def text_reply(status, text):
    return Reply(status, text.encode("latin-1"))


def int_param(request, name, default, limit=64 * 1024 * 1024):
    try:
        value = int(request.query.get(name, [str(default)])[0])
    except ValueError:
        return default
    return max(0, min(value, limit))


def framing_param(request, default="length"):
    framing = request.query.get("framing", [default])[0]
    return framing if framing in ("length", "close", "chunked") else default


class StatsService:
    """The statistics-service stand-in: any path ending in /vapi/jstat.jsp answers from the
    fixture that the table in fixtures/jstat-codes.txt gives for the (decoded) code."""

    CONTENT_TYPES = {".json": "application/json", ".html": "text/html", ".txt": "text/plain"}

    def __init__(self, table_path):
        self.table = {}
        with open(table_path, encoding="utf-8") as table:
            for line in table:
                fields = line.split("#", 1)[0].split()
                if not fields:
                    continue
                code, status, framing, charset, name = fields
                self.table[code] = (int(status), framing, charset, name)

    def answer(self, request):
        codes = request.query.get("code")
        code = codes[0] if codes else ""
        entry = self.table.get(code)
        if entry is None:
            return text_reply(404, "no fixture for this code\n")
        status, framing, charset, name = entry
        with open(os.path.join(FIXTURES, name), "rb") as fixture:
            body = fixture.read()
        content_type = self.CONTENT_TYPES.get(os.path.splitext(name)[1], "application/octet-stream")
        if charset == "cp1251":
            body = body.decode("utf-8").encode("cp1251")
            content_type += "; charset=windows-1251"
        elif charset == "utf-8-bom":
            body = b"\xef\xbb\xbf" + body
            content_type += "; charset=utf-8"
        return Reply(status, body, content_type, framing=framing)


class Services:
    """Shared state of all servers: the recorder and the statistics stand-in."""

    def __init__(self):
        self.recorder = Recorder()
        self.stats = StatsService(STATS_TABLE)
        self.sites = update_sites.Sites()

    def route(self, request):
        path, method = request.path, request.method
        if path.startswith("/delay/"):
            # /delay/<ms>/<rest>: the answer of /<rest>, after that many milliseconds (at most 60 s)
            wait, _, rest = path[len("/delay/"):].partition("/")
            try:
                time.sleep(min(max(int(wait), 0), 60000) / 1000.0)
            except ValueError:
                return text_reply(400, "delay must be milliseconds\n")
            request.path = path = "/" + rest
        if path == "/_requests":
            server = request.query.get("server", [None])[0]
            contains = request.query.get("contains", [None])[0]
            body = json.dumps(self.recorder.select(server, contains)).encode("ascii")
            return Reply(200, body, "application/json")
        if path == "/_reset" and method == "POST":
            self.recorder.reset()
            return text_reply(200, "reset\n")
        site = self.sites.answer(request, Reply)
        if site is not None:
            return site
        if path == "/echo":
            return Reply(200, request.raw(), "application/octet-stream")
        if path.startswith("/status/"):
            try:
                status = int(path[len("/status/"):])
            except ValueError:
                status = 0
            if not 200 <= status <= 599:
                return text_reply(400, "status must be 200..599\n")
            return text_reply(status, "status %d\n" % status)
        if path == "/nolength":
            return Reply(200, pattern_bytes(int_param(request, "size", 3000)), framing="close")
        if path == "/chunked":
            return Reply(200, pattern_bytes(int_param(request, "size", 3000)), framing="chunked",
                         chunk=int_param(request, "chunk", 1000))
        if path == "/body":
            binary = request.query.get("pattern", ["text"])[0] == "binary"
            return Reply(200, pattern_bytes(int_param(request, "size", 0), binary),
                         "application/octet-stream", framing=framing_param(request),
                         chunk=int_param(request, "chunk", 1000))
        if path == "/header-twice":
            return Reply(200, b"two headers\n", headers=[("X-Twice", "first"), ("X-Twice", "second")])
        if path == "/headers":
            pairs = urllib.parse.parse_qsl(urllib.parse.urlsplit(request.target).query, keep_blank_values=True)
            return Reply(200, b"headers\n", headers=pairs)
        if path == "/silent" or path.startswith("/silent/"):
            return Reply(silent=True)
        if path.endswith("/vapi/jstat.jsp"):
            return self.stats.answer(request)
        update = update_service.answer(request, Reply)
        if update is not None:
            return update
        return text_reply(404, "no such path\n")


def silent_wait(sock):
    """Holds a connection open without answering until the client gives up."""
    sock.settimeout(None)
    try:
        while sock.recv(4096):
            pass
    except OSError:
        pass


class OriginHandler(socketserver.StreamRequestHandler):
    """One connection to a plain or TLS server: one request, one answer, then the connection ends.
    Wine's WinInet reuses a kept-alive connection to host:port for a later request to the same
    host:port that should go through a proxy, so no server keeps a connection open."""

    timeout = 120

    def setup(self):
        self.tls = None
        if self.server.tls is not None:
            self.request.settimeout(20)
            try:
                self.tls = self.request = self.server.tls.wrap_socket(self.request, server_side=True)
            except (OSError, ssl.SSLError):
                self.request = None
                return
        super().setup()

    def handle(self):
        if self.request is None:
            return
        services = self.server.services
        peer_port = self.client_address[1]
        try:
            request = read_request(self.rfile)
        except (OSError, ValueError, ssl.SSLError):
            return
        if request is None:
            return
        if request.path not in ("/_requests", "/_reset") and not request.path.startswith(update_sites.Sites.PREFIX):
            record = request.record(self.server.name, peer_port)
            record["proxy"] = services.recorder.proxy_for(peer_port)
            services.recorder.add(record)
        reply = services.route(request)
        if reply.silent:
            silent_wait(self.request)
            return
        try:
            if hasattr(reply, "write_to"):
                reply.write_to(self.wfile)
            else:
                self.wfile.write(reply.encode(close=True))
            self.wfile.flush()
        except OSError:
            pass

    def finish(self):
        if self.request is None:
            return
        try:
            super().finish()
        except OSError:
            pass
        if self.tls is not None:
            # Send close_notify, so that a body ended by the close reads as complete; a
            # non-blocking socket keeps unwrap from waiting for the client's close_notify.
            try:
                self.tls.setblocking(False)
                self.tls.unwrap()
            except (OSError, ssl.SSLError, ValueError):
                pass
            self.tls.close()


class Server(socketserver.ThreadingTCPServer):
    daemon_threads = True
    allow_reuse_address = True
    request_queue_size = 64

    def __init__(self, name, handler, services, tls=None, **extra):
        super().__init__((LOOPBACK, 0), handler)
        self.name = name
        self.services = services
        self.tls = tls
        self.__dict__.update(extra)

    @property
    def port(self):
        return self.server_address[1]


def proxy_credentials(request):
    value = request.header("Proxy-Authorization") or ""
    scheme, _, encoded = value.partition(" ")
    if scheme.lower() != "basic":
        return None, None
    try:
        user, _, password = base64.b64decode(encoded.strip(), validate=True).decode("latin-1").partition(":")
    except (ValueError, UnicodeDecodeError):
        return None, None
    return user, password


def is_loopback(host):
    return host in ("127.0.0.1", "localhost")


def pump(a, b):
    """Copies bytes both ways until either side closes."""
    sockets = [a, b]
    try:
        while True:
            readable, _, _ = select.select(sockets, [], [], 300)
            if not readable:
                return
            for s in readable:
                data = s.recv(65536)
                if not data:
                    return
                (b if s is a else a).sendall(data)
    except OSError:
        return


class ProxyHandler(socketserver.StreamRequestHandler):
    """The proxy: Basic proxy authentication, then plain forwarding or a CONNECT tunnel, to
    loopback servers only. A 407 keeps the connection so that the client can answer on it."""

    timeout = 120

    def handle(self):
        recorder = self.server.services.recorder
        while True:
            try:
                request = read_request(self.rfile)
            except (OSError, ValueError):
                return
            if request is None:
                return
            user, password = proxy_credentials(request)
            record = request.record("proxy", self.client_address[1])
            # Besides its own account, the proxy accepts its address as the user name (a client
            # that names the proxy and its user alike); Basic splits such a user at its ':'.
            own_address = "%s:%d" % self.server.server_address[:2]
            record.update(proxyUser=user, proxyPassword=password,
                          authorized=(user, password) == (self.server.user, self.server.password)
                          or (user is not None and "%s:%s" % (user, password)
                              == own_address + ":" + self.server.password))
            recorder.add(record)
            if not record["authorized"]:
                reply = Reply(407, b"proxy authentication required\n",
                              headers=[("Proxy-Authenticate", 'Basic realm="test proxy"')])
                self.wfile.write(reply.encode(request.wants_close()))
                self.wfile.flush()
                if request.wants_close():
                    return
                continue
            if request.method == "CONNECT":
                self.tunnel(request, record)
            else:
                self.forward(request, record)
            return

    def connect_loopback(self, host, port, record):
        if not is_loopback(host):
            self.wfile.write(text_reply(403, "only loopback targets\n").encode(True))
            return None
        try:
            upstream = socket.create_connection((LOOPBACK, port), timeout=10)
        except OSError:
            self.wfile.write(text_reply(502, "cannot connect\n").encode(True))
            return None
        upstream.settimeout(None)
        self.server.services.recorder.open_tunnel(upstream.getsockname()[1], record)
        return upstream

    def tunnel(self, request, record):
        host, _, port = request.target.rpartition(":")
        upstream = self.connect_loopback(host.strip("[]"), int(port or 443), record)
        if upstream is None:
            return
        local_port = upstream.getsockname()[1]
        try:
            self.wfile.write(b"HTTP/1.1 200 Connection established\r\n\r\n")
            self.wfile.flush()
            buffered = self.rfile.peek() if hasattr(self.rfile, "peek") else b""
            if buffered:
                upstream.sendall(self.rfile.read(len(buffered)))
            pump(self.request, upstream)
        finally:
            self.server.services.recorder.close_tunnel(local_port)
            upstream.close()

    def forward(self, request, record):
        target = urllib.parse.urlsplit(request.target)
        if target.scheme != "http" or not target.hostname:
            self.wfile.write(text_reply(400, "absolute http URL expected\n").encode(True))
            return
        upstream = self.connect_loopback(target.hostname, target.port or 80, record)
        if upstream is None:
            return
        local_port = upstream.getsockname()[1]
        dropped = ("proxy-authorization", "proxy-connection", "connection", "keep-alive",
                   "transfer-encoding", "content-length")
        origin_target = urllib.parse.urlunsplit(("", "", target.path or "/", target.query, ""))
        lines = ["%s %s %s" % (request.method, origin_target, request.version)]
        lines += ["%s: %s" % (n, v) for n, v in request.headers if n.lower() not in dropped]
        if request.body:
            lines.append("Content-Length: %d" % len(request.body))
        lines.append("Connection: close")
        try:
            upstream.sendall(("\r\n".join(lines) + "\r\n\r\n").encode("latin-1") + request.body)
            while True:
                data = upstream.recv(65536)
                if not data:
                    break
                self.wfile.write(data)
            self.wfile.flush()
        except OSError:
            pass
        finally:
            self.server.services.recorder.close_tunnel(local_port)
            upstream.close()


def tls_context(directory, name):
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(os.path.join(directory, name + ".pem"), os.path.join(directory, name + ".key"))
    return context


def write_atomically(path, text):
    temporary = path + ".tmp"
    with open(temporary, "w", encoding="ascii") as out:
        out.write(text)
    os.replace(temporary, path)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--certs", required=True, help="folder with the certificates of make-certs.py")
    parser.add_argument("--ports-file", required=True, help="written when every service listens")
    parser.add_argument("--pid-file", help="this process's id, for the stop")
    parser.add_argument("--proxy-user", default="proxyuser")
    parser.add_argument("--proxy-password", default="Pr0xy-secret")
    parser.add_argument("--max-seconds", type=float, default=0, help="stop after this long (0: never)")
    args = parser.parse_args()

    services = Services()
    servers = {
        "http": Server("http", OriginHandler, services),
        "https": Server("https", OriginHandler, services, tls_context(args.certs, "trusted")),
        "selfsigned": Server("selfsigned", OriginHandler, services, tls_context(args.certs, "selfsigned")),
        "unknownca": Server("unknownca", OriginHandler, services, tls_context(args.certs, "unknownca")),
        "proxy": Server("proxy", ProxyHandler, services, user=args.proxy_user, password=args.proxy_password),
    }
    # Bound but never listening: the kernel refuses every connection, and no one else can take the port.
    refused = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    refused.bind((LOOPBACK, 0))

    for server in servers.values():
        threading.Thread(target=server.serve_forever, daemon=True).start()

    def stop(*_):
        for path in (args.ports_file, args.pid_file):
            if path:
                try:
                    os.remove(path)
                except OSError:
                    pass
        os._exit(0)

    signal.signal(signal.SIGTERM, stop)
    signal.signal(signal.SIGINT, stop)
    if args.pid_file:
        write_atomically(args.pid_file, "%d\n" % os.getpid())
    ports = ["host=%s" % LOOPBACK, "tlshost=localhost"]
    ports += ["%s=%d" % (name, server.port) for name, server in servers.items()]
    ports += ["refused=%d" % refused.getsockname()[1], "proxyuser=%s" % args.proxy_user,
              "proxypassword=%s" % args.proxy_password, "pid=%d" % os.getpid()]
    write_atomically(args.ports_file, "\n".join(ports) + "\n")

    started = time.monotonic()
    while not args.max_seconds or time.monotonic() - started < args.max_seconds:
        time.sleep(1)
    stop()


if __name__ == "__main__":
    sys.exit(main())
