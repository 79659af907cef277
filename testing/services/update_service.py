"""The update-service stand-in: serves update folders from fixtures/update/<variant>/ at
/update/<variant>/<path>, the way a web host serves the update plug-in's "updlist.txt" and files.

Each variant may have a table `_serve.txt` with lines `<path> <status> [how args...]`:
  <path> 404                       that status, the file's own bytes (or "not found" when missing)
  <path> 404 file <other>          that status with the bytes of <other> from the variant folder
  <path> 200 pattern <n>           n known bytes: byte i is i % 256
  <path> 200 slow <n> <ms>         the same n bytes in pieces of 4096, <ms> milliseconds apart
  <path> 200 cutoff <n> <sent>     announces n bytes (Content-Length) and closes after <sent>
Paths without a line are served from the folder with 200, or 404 "no such path" when missing.
"""

import os
import time
import urllib.parse

HERE = os.path.dirname(os.path.abspath(__file__))
UPDATE_FIXTURES = os.path.join(HERE, "fixtures", "update")
PREFIX = "/update/"


def pattern(size):
    cycle = bytes(range(256))
    whole, rest = divmod(size, 256)
    return cycle * whole + cycle[:rest]


class StreamedReply:
    """An answer written piece by piece: a slow body, or one that ends before its length."""

    def __init__(self, body, announced, delay):
        self.body, self.announced, self.delay = body, announced, delay
        self.silent = False

    def write_to(self, wfile):
        head = ("HTTP/1.1 200 OK\r\nContent-Type: application/octet-stream\r\n"
                "Content-Length: %d\r\nConnection: close\r\n\r\n" % self.announced)
        wfile.write(head.encode("latin-1"))
        wfile.flush()
        for start in range(0, len(self.body), 4096):
            wfile.write(self.body[start:start + 4096])
            wfile.flush()
            if self.delay:
                time.sleep(self.delay)


def read_table(folder):
    table = {}
    path = os.path.join(folder, "_serve.txt")
    if os.path.isfile(path):
        with open(path, encoding="utf-8") as lines:
            for line in lines:
                fields = line.split("#", 1)[0].split()
                if fields:
                    table[fields[0]] = fields[1:]
    return table


def answer(request, reply_class):
    """The reply for a path below /update/, or None for any other path."""
    if not request.path.startswith(PREFIX):
        return None
    relative = urllib.parse.unquote(request.path[len(PREFIX):])
    variant, _, inner = relative.partition("/")
    parts = [p for p in inner.split("/") if p]
    folder = os.path.join(UPDATE_FIXTURES, variant)
    if not variant or ".." in parts or variant.startswith(".") or not os.path.isdir(folder):
        return reply_class(404, b"no such path\n")
    inner = "/".join(parts)
    on_disk = os.path.join(folder, *parts) if parts else None
    rule = read_table(folder).get(inner)
    if rule:
        status, how, args = int(rule[0]), (rule[1] if len(rule) > 1 else None), rule[2:]
        if how == "pattern":
            return reply_class(status, pattern(int(args[0])), "application/octet-stream")
        if how == "slow":
            return StreamedReply(pattern(int(args[0])), int(args[0]), int(args[1]) / 1000.0)
        if how == "cutoff":
            return StreamedReply(pattern(int(args[0]))[:int(args[1])], int(args[0]), 0)
        source = os.path.join(folder, args[0]) if how == "file" else on_disk
        body = b"not found\n"
        if source and os.path.isfile(source):
            with open(source, "rb") as f:
                body = f.read()
        return reply_class(status, body, "text/html" if source and source.endswith(".html") else "text/plain")
    if on_disk and os.path.isfile(on_disk) and not os.path.basename(on_disk).startswith("_"):
        with open(on_disk, "rb") as f:
            return reply_class(200, f.read(), "application/octet-stream")
    return reply_class(404, b"no such path\n")
