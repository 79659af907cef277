"""Update sites made on a test's request: each an HTTP server on a port of its own that serves the
routes the test sets, and misbehaves the way a real line does. A body is cut off (an orderly end)
or reset (SO_LINGER {1, 0}, then close: an RST, no FIN, which a server inside Wine cannot send to
a client of its own process; it comes half a second after the bytes before it); a file changes
after its first answer; the listener goes away for a while (every connection refused) and comes
back on the same port. Like a real server a site
names each version of a body (ETag, Last-Modified: the same validators as the update server of
the worker tests) and honours Range with If-Range: a stale validator gets the whole current body.

Control, on the plain HTTP server of services.py:
  POST /_sites                  a new site: {"site": <id>, "port": <port>}
  POST /_sites/<id>/route       sets a route (the JSON body below); its answers count from here
  GET  /_sites/<id>/requests    [{"path", "range", "ifRange"}, ...] in arrival order ("range": the
                                offset of "Range: bytes=<offset>-", or null)
  POST /_sites/<id>/close       ends the site
A route: {"path": "/upd/files/a.bin", "status": 200, "body": <hex>, "mode": "whole" | "cutoff" |
"reset", "breakAt": <bytes of the body before the cut>, "cutAnswers": <answers cut, -1 every one>,
"validators": "both" | "date" | "none", "version": 1, "changedBody": <hex, the body after the first
answer; "" none>, "ignoreIfRange": false, "rangeWhole": false, "downAfter": <ms>, "length":
"announced" | "close" | "chunked", "newVersions": <answers>}. With "downAfter", the listener closes
as such an answer begins (with "cutAnswers", only for the answers that are cut) and listens again
after that many milliseconds. "length" tells how the end of a body is known: its Content-Length,
only the close of the connection, or chunked transfer coding (a cut one ends before its last
chunk). With "newVersions", each of that many answers after the first (-1: every one) names a new
version of the same bytes, as mirrors with their own ETags or a stamp in each answer do.
"""

import json
import random
import select
import socket
import struct
import threading
import time

LOOPBACK = "127.0.0.1"
RESET_PAUSE_SECONDS = 0.5
NOT_FOUND = b"<html><body><h1>404 Not Found</h1></body></html>"


def etag_of(body, version):
    """FNV-1a of the body, with the version."""
    value = 2166136261
    for byte in body:
        value = ((value ^ byte) * 16777619) & 0xFFFFFFFF
    return '"v%d-%08x"' % (version, value)


def last_modified_of(version):
    return "Tue, 01 Dec 2026 10:%02d:%02d GMT" % ((version // 60) % 60, version % 60)


def ports_below_ephemeral():
    """The span of ports (first, last) below the system's ephemeral range, where no outgoing
    connection takes a site's port while the site is away; None when the range leaves no room."""
    try:
        with open("/proc/sys/net/ipv4/ip_local_port_range") as f:
            low = int(f.read().split()[0])
    except (OSError, ValueError, IndexError):
        low = 0
    return (10000, low - 1) if low > 12000 else None


def listen(port):
    sock = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    sock.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    sock.bind((LOOPBACK, port))
    sock.listen(64)
    return sock


def first_listener():
    span = ports_below_ephemeral()
    if span:
        for _ in range(200):
            try:
                return listen(random.randint(*span))
            except OSError:
                continue
    return listen(0)


def read_head(conn):
    data = b""
    while b"\r\n\r\n" not in data and len(data) < 65536:
        piece = conn.recv(4096)
        if not piece:
            break
        data += piece
    lines = data.split(b"\r\n\r\n", 1)[0].decode("latin-1").split("\r\n")
    parts = lines[0].split(" ")
    path = parts[1] if len(parts) > 1 else ""
    headers = {}
    for line in lines[1:]:
        name, _, value = line.partition(":")
        headers.setdefault(name.strip().lower(), value.strip())
    return path, headers


class Site:
    def __init__(self, site_id):
        self.id = site_id
        self.lock = threading.Lock()
        self.routes, self.answers, self.requests = {}, {}, []
        self.closed = False
        self.listener = first_listener()
        self.port = self.listener.getsockname()[1]
        threading.Thread(target=self.accept_loop, daemon=True).start()

    def set_route(self, route):
        route = dict(route)
        route["body"] = bytes.fromhex(route.get("body", ""))
        route["changedBody"] = bytes.fromhex(route.get("changedBody", ""))
        with self.lock:
            self.routes[route["path"]] = route
            self.answers.pop(route["path"], None)

    def recorded(self):
        with self.lock:
            return list(self.requests)

    def close(self):
        with self.lock:
            self.closed = True
            self.stop_listening()

    def stop_listening(self):
        """Under the lock. A shut-down listener refuses at once; a closed one only once no call
        of the accept thread holds it any more."""
        if self.listener is not None:
            try:
                self.listener.shutdown(socket.SHUT_RDWR)
            except OSError:
                pass
            self.listener.close()
            self.listener = None

    def go_away(self, milliseconds):
        with self.lock:
            self.stop_listening()
        timer = threading.Timer(milliseconds / 1000.0, self.come_back)
        timer.daemon = True
        timer.start()

    def come_back(self):
        with self.lock:
            if self.closed or self.listener is not None:
                return
            for _ in range(100):
                try:
                    self.listener = listen(self.port)
                    return
                except OSError:
                    time.sleep(0.05)

    def accept_loop(self):
        while True:
            with self.lock:
                if self.closed:
                    return
                listener = self.listener
            if listener is None:
                time.sleep(0.02)
                continue
            try:
                readable, _, _ = select.select([listener], [], [], 0.1)
                if not readable:
                    continue
                conn, _ = listener.accept()
            except (OSError, ValueError):
                continue
            threading.Thread(target=self.serve, args=(conn,), daemon=True).start()

    def serve(self, conn):
        try:
            conn.settimeout(30)
            self.answer(conn)
        except OSError:
            pass
        finally:
            conn.close()

    def answer(self, conn):
        path, headers = read_head(conn)
        range_header = headers.get("range", "")
        offset = None
        if range_header.startswith("bytes="):
            try:
                offset = int(range_header[6:].split("-", 1)[0])
            except ValueError:
                offset = None
        with self.lock:
            self.requests.append({"path": path, "range": offset, "ifRange": headers.get("if-range", "")})
            route = self.routes.get(path)
            answer = 0
            if route is not None:
                answer = self.answers.get(path, 0)
                self.answers[path] = answer + 1
                current = dict(route)
                new_versions = route.get("newVersions", 0)
                if new_versions:
                    renamed = answer if new_versions < 0 else min(answer, new_versions)
                    current["version"] = route.get("version", 1) + renamed
                # The first answer goes out with the first version; the next ones bring the new one.
                if route["changedBody"]:
                    route["body"], route["changedBody"] = route["changedBody"], b""
                    route["version"] = route.get("version", 1) + 1
                route = current
        if route is None:
            route = {"status": 404, "body": NOT_FOUND}
        status, body = route.get("status", 200), route["body"]
        version, validators = route.get("version", 1), route.get("validators", "both")
        mode, cut_answers = route.get("mode", "whole"), route.get("cutAnswers", -1)
        etag = last_modified = ""
        if status == 200 and validators != "none":
            last_modified = last_modified_of(version)
            if validators == "both":
                etag = etag_of(body, version)
        extra = []
        start = 0
        if offset is not None and status == 200:
            if_range = headers.get("if-range", "")
            fresh = not if_range or route.get("ignoreIfRange") or if_range in (etag, last_modified)
            if not route.get("rangeWhole") and fresh and offset <= len(body):
                start, status = offset, 206
                extra.append("Content-Range: bytes %d-%d/%d" % (start, len(body) - 1, len(body)))
        cut = mode in ("cutoff", "reset") and (cut_answers < 0 or answer < cut_answers)
        if route.get("downAfter") and (cut or mode == "whole"):
            self.go_away(route["downAfter"])
        if etag:
            extra.append("ETag: " + etag)
        if last_modified:
            extra.append("Last-Modified: " + last_modified)
        rest = body[start:]
        length = route.get("length", "announced")
        head = ["HTTP/1.1 %d Status" % status, "Content-Type: application/octet-stream", "Accept-Ranges: bytes"]
        head += extra
        if length == "announced":
            head.append("Content-Length: %d" % len(rest))
        elif length == "chunked":
            head.append("Transfer-Encoding: chunked")
        head.append("Connection: close")
        conn.sendall(("\r\n".join(head) + "\r\n\r\n").encode("latin-1"))
        sent = rest[:max(0, route.get("breakAt", 0) - start)] if cut else rest
        if length == "chunked":
            for at in range(0, len(sent), 4096):
                piece = sent[at:at + 4096]
                conn.sendall(b"%x\r\n" % len(piece) + piece + b"\r\n")
            if not cut:
                conn.sendall(b"0\r\n\r\n")
        else:
            conn.sendall(sent)
        if cut:
            if mode == "reset":
                # The reset comes a moment after the bytes before it, as on a real line: the client
                # has read them and waits in its read for more when the reset reaches it.
                time.sleep(RESET_PAUSE_SECONDS)
                # No lingering: the close sends a reset instead of the orderly end.
                conn.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
                return
        conn.shutdown(socket.SHUT_WR)
        # Drain what the client still sends until it closes, so that the close is orderly.
        conn.settimeout(2)
        try:
            while conn.recv(4096):
                pass
        except OSError:
            pass


class Sites:
    PREFIX = "/_sites"

    def __init__(self):
        self.lock = threading.Lock()
        self.sites = {}
        self.next_id = 1

    def answer(self, request, reply_class):
        """The reply for a control path below /_sites, or None for any other path."""
        if request.path != self.PREFIX and not request.path.startswith(self.PREFIX + "/"):
            return None
        parts = [p for p in request.path[len(self.PREFIX):].split("/") if p]

        def reply(status, value):
            return reply_class(status, json.dumps(value).encode("ascii"), "application/json")

        if not parts and request.method == "POST":
            with self.lock:
                site = Site("s%d" % self.next_id)
                self.next_id += 1
                self.sites[site.id] = site
            return reply(200, {"site": site.id, "port": site.port})
        with self.lock:
            site = self.sites.get(parts[0]) if parts else None
        if site is None or len(parts) != 2:
            return reply(404, {"error": "no such site"})
        what = parts[1]
        if what == "route" and request.method == "POST":
            try:
                site.set_route(json.loads(request.body.decode("ascii")))
            except (ValueError, KeyError, TypeError) as e:
                return reply(400, {"error": str(e)})
            return reply(200, {"ok": True})
        if what == "requests":
            return reply(200, site.recorded())
        if what == "close" and request.method == "POST":
            site.close()
            with self.lock:
                self.sites.pop(site.id, None)
            return reply(200, {"ok": True})
        return reply(404, {"error": "no such control"})
