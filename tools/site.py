#!/usr/bin/env python3
"""The bundled demo site, and the scriptable HTTP server the network tests use.

Demo pages:
  /xml/                      the forum feed; a topic gains a post every --every seconds
  /forum/temat/?id=N         a topic page
  /dokumentacja/?nro=N       a documentation page

Scripted answers for tests (everything under /t/):
  /t/body?text=T&status=S&type=C    body T (UTF-8) with status S (default 200); with
                                    retry_after=V a Retry-After V, with retry_after_in=S one
                                    that is an HTTP date S seconds ahead
  /t/sequence?answers=A,B,...       the next of the answers at each request, the last one
                                    again once they are used up: a status (503, 429:SECONDS
                                    with a Retry-After, 200 a small feed) or "close" (the
                                    connection closed with no answer); the backoff sequence
  /t/redirect?n=N&to=URL            N redirects (302), the last one to URL
  /t/empty                          200 with an empty body
  /t/circle                         302 back to itself, forever
  /t/big?mb=M                       M MiB of 'x', streamed without a length
  /t/hang                           accepts and never answers (the connection is held)
  /t/drip?bytes=B&ms=D              B bytes, one every D milliseconds
  /t/requests                       the requests received so far, one JSON object a line
  /t/clear                          forget the recorded requests
  /t/feed?text=X                    from now on /xml/ answers X (UTF-8, text/xml)
  POST /t/feed                      the same with the request body as X, for long feeds
  /t/feed?as=/t/...                 from now on /xml/ answers as that scripted path
  /t/feed                           /xml/ is the demo feed again
  /t/feed-count                     how many times /xml/ was asked for
  /t/hostile?case=NAME              a broken or hostile answer (see HOSTILE below)

Listens on 127.0.0.1 only. With --port 0 it picks a free port; --port-file gets the port.
"""
import argparse
import email.utils
import gzip
import html
import json
import os
import random
import socket
import struct
import sys
import threading
import time
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer
from urllib.parse import parse_qs, urlsplit

TOPICS = [
    ("Jak wczytać plik linia po linii w C++?", 3),
    ("Wskaźniki a referencje – kiedy czego używać", 7),
    ("Problem z std::vector i iteratorami", 2),
    ("Łańcuchy znaków w C: strcpy czy strncpy?", 5),
    ("Gra w SFML – kolizje postaci", 12),
    ("Szablony klas: błąd linkera", 1),
    ("Ćwiczenia z rekurencji dla początkujących", 9),
    ("Zażółć gęślą jaźń – kodowanie znaków w konsoli", 4),
]

HANG_LIMIT_S = 120  # a held connection is dropped after this, so the server never piles up threads


class Forum:
    """The demo feed: topics whose post counts grow over time, so new-post balloons show up."""

    def __init__(self, every):
        self.every = every
        self.lock = threading.Lock()
        now = time.time()
        self.topics = []
        for i, (title, posts) in enumerate(TOPICS):
            self.topics.append({
                "Id": 1000 + i, "ParentId": 0, "AccessId": 1, "PostCount": posts,
                "CreateUserId": 10 + i, "LastUserId": 20 + i, "OrderKey": i % 3,
                "CreateDT": self.stamp(now - 86400 * (i + 1)), "UpdateDT": self.stamp(now - 600 * (i + 1)),
                "LastPageNo": 1 + posts // 20, "IsOpen": 0 if i == 5 else 1, "Visited": i % 2,
                "Title": title,
            })
        self.last_change = now

    @staticmethod
    def stamp(t):
        return time.strftime("%Y-%m-%d %H:%M:%S", time.localtime(t))

    def advance(self):
        now = time.time()
        if self.every <= 0 or now - self.last_change < self.every:
            return
        self.last_change = now
        topic = random.choice(self.topics)
        topic["PostCount"] += 1
        topic["LastUserId"] = random.randint(100, 999)
        topic["UpdateDT"] = self.stamp(now)
        topic["Visited"] = 0
        # The newest topic goes first, as a forum front page lists them.
        self.topics.remove(topic)
        self.topics.insert(0, topic)

    def xml(self):
        with self.lock:
            self.advance()
            rows = []
            for t in self.topics:
                attrs = " ".join('%s="%s"' % (k, html.escape(str(v))) for k, v in t.items() if k != "Title")
                rows.append("      <Topic %s><Title>%s</Title></Topic>" % (attrs, html.escape(t["Title"], quote=False)))
            return ('<?xml version="1.0" encoding="utf-8"?>\n<Pelikant>\n'
                    '  <Information UpdateDT="%s">Forum demonstracyjne</Information>\n'
                    '  <Forum>\n    <TopicContainer>\n%s\n    </TopicContainer>\n  </Forum>\n</Pelikant>\n'
                    % (self.stamp(time.time()), "\n".join(rows))).encode("utf-8")


def sample_feed(topics, title=lambda i: "Temat %d" % i, attrs=lambda i: ""):
    rows = "".join('<Topic Id="%d" PostCount="%d" LastUserId="1" IsOpen="1"%s><Title>%s</Title></Topic>'
                   % (i, i, attrs(i), title(i)) for i in range(topics))
    return ('<?xml version="1.0" encoding="utf-8"?><Pelikant><Information UpdateDT="x">i</Information>'
            "<Forum><TopicContainer>%s</TopicContainer></Forum></Pelikant>" % rows)


BIG = 20 * 1024 * 1024  # past the program's 16 MiB cap
HTML_ERROR = ("<!DOCTYPE html><html><head><title>Błąd</title></head>"
              "<body><h1>Błąd serwera</h1><p>Spróbuj później.</p></body></html>").encode("utf-8")

# Broken or hostile answers, by name: (status, body or a callable writing the answer itself).
HOSTILE = {
    "malformed": lambda: sample_feed(3).replace("</Title></Topic>", "</Topic>", 1).encode("utf-8"),
    "truncated": lambda: sample_feed(50).encode("utf-8")[:1500],
    "deep": lambda: b"<a>" * 1000000 + b"</a>" * 1000000,
    "invalid_utf8": lambda: sample_feed(3, title=lambda i: "x\udcff\udcfe y").encode("utf-8", "surrogateescape")
                            + b"\xc0\xaf\x80",
    "wrong_encoding": lambda: sample_feed(3, title=lambda i: "Zażółć %d" % i).replace(
        'encoding="utf-8"', 'encoding="UTF-16"').encode("utf-8"),
    "entities": lambda: (b'<?xml version="1.0"?><!DOCTYPE Pelikant [<!ENTITY a "aaaaaaaaaa">'
                         + b"".join(b'<!ENTITY %c "&%c;&%c;&%c;&%c;&%c;&%c;&%c;&%c;&%c;&%c;">'
                                    % ((c,) + (c - 1,) * 10) for c in range(ord("b"), ord("k")))
                         + b"]><Pelikant><Forum><TopicContainer><Topic Id=\"1\"><Title>&j;</Title></Topic>"
                         + b"</TopicContainer></Forum></Pelikant>"),
    "big_numbers": lambda: sample_feed(3, attrs=lambda i: ' ParentId="4294967296" AccessId="-99999999999"'
                                       ' CreateUserId="2147483648" OrderKey="99999999999999999999"'
                                       ' LastPageNo="-2147483649"').replace(
        'PostCount="0"', 'PostCount="18446744073709551617"').encode("utf-8"),
    "many_topics": lambda: sample_feed(100000, title=lambda i: "t").encode("utf-8"),
    "long_texts": lambda: sample_feed(5, title=lambda i: "ł" * 100000).encode("utf-8"),
    "control_chars": lambda: sample_feed(3, title=lambda i: "a\x01\x02\x07\x08\x1b[31m\x7f b").encode("utf-8"),
    "html_200": lambda: HTML_ERROR,
    "empty_200": lambda: b"",
}
HOSTILE_STATUS = {"status_301": 301, "status_404": 404, "status_500": 500, "status_503": 503}
# Bodies sent gzip-compressed whatever the request accepts: 20 KiB that inflate past the cap,
# and bytes that are no gzip at all.
GZIPPED = {
    "gzip_bomb": lambda: gzip.compress(b"\0" * BIG, 9),
    "gzip_broken": lambda: b"\x1f\x8b\x08\x00" + b"not gzip at all" * 100,
}


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "PelikantDemo/1.0"

    def log_message(self, fmt, *args):
        if self.server.verbose:
            sys.stderr.write("site: " + fmt % args + "\n")

    def send(self, status, body, ctype="text/plain; charset=utf-8", headers=()):
        self.send_response(status)
        self.send_header("Content-Type", ctype)
        self.send_header("Content-Length", str(len(body)))
        for k, v in headers:
            self.send_header(k, v)
        self.end_headers()
        if self.command != "HEAD":
            self.wfile.write(body)

    def page(self, title, text):
        body = ("<!doctype html><meta charset=utf-8><title>%s</title><h1>%s</h1><p>%s</p>"
                % (html.escape(title), html.escape(title), html.escape(text))).encode("utf-8")
        self.send(200, body, "text/html; charset=utf-8")

    def do_HEAD(self):
        self.do_GET()

    def do_POST(self):
        length = int(self.headers.get("Content-Length", "0"))
        body = self.rfile.read(length) if length > 0 else b""
        if urlsplit(self.path).path != "/t/feed":
            return self.send(404, b"unknown script")
        with self.server.lock:
            self.server.feed_script = ("text", body)
            count = self.server.feed_requests
        self.send(200, str(count).encode("ascii"))

    def do_GET(self):
        url = urlsplit(self.path)
        q = {k: v[-1] for k, v in parse_qs(url.query, keep_blank_values=True).items()}
        if url.path.startswith("/t/"):
            if url.path != "/t/requests":
                with self.server.lock:
                    self.server.requests.append({"path": self.path, "headers": dict(self.headers.items())})
            return self.scripted(url.path, q)
        if url.path in ("/xml", "/xml/"):
            with self.server.lock:
                script = self.server.feed_script
                self.server.feed_requests += 1
            if script is None:
                return self.send(200, self.server.forum.xml(), "text/xml; charset=utf-8")
            kind, value = script
            if kind == "text":
                return self.send(200, value, "text/xml; charset=utf-8")
            scripted = urlsplit(value)
            return self.scripted(scripted.path,
                                 {k: v[-1] for k, v in parse_qs(scripted.query, keep_blank_values=True).items()})
        if url.path.startswith("/forum/temat"):
            return self.page("Temat %s" % q.get("id", "?"), "Strona tematu forum demonstracyjnego.")
        if url.path.startswith("/dokumentacja"):
            return self.page("Dokumentacja %s" % q.get("nro", "?"), "Strona wpisu dokumentacji.")
        if url.path == "/":
            return self.page("Pelikant – strona demonstracyjna", "Kanał forum: /xml/")
        self.send(404, "Nie znaleziono".encode("utf-8"))

    def scripted(self, path, q):
        if path == "/t/body":
            headers = []
            if "retry_after" in q:
                headers.append(("Retry-After", q["retry_after"]))
            if "retry_after_in" in q:
                when = time.time() + float(q["retry_after_in"])
                headers.append(("Retry-After", email.utils.formatdate(when, usegmt=True)))
            return self.send(int(q.get("status", "200")), q.get("text", "").encode("utf-8"),
                             q.get("type", "text/plain; charset=utf-8"), headers)
        if path == "/t/sequence":
            answers = q.get("answers", "200").split(",")
            key = "sequence:" + answers.__repr__()
            with self.server.lock:
                step = self.server.steps.get(key, 0)
                self.server.steps[key] = step + 1
            answer = answers[min(step, len(answers) - 1)]
            if answer == "close":
                self.close_connection = True
                return
            status, _, retry = answer.partition(":")
            if status == "200":
                return self.send(200, sample_feed(3).encode("utf-8"), "text/xml; charset=utf-8")
            return self.send(int(status), HTML_ERROR, "text/html; charset=utf-8",
                             [("Retry-After", retry)] if retry else [])
        if path == "/t/empty":
            return self.send(200, b"")
        if path == "/t/redirect":
            n = int(q.get("n", "1"))
            target = q.get("to", "/t/body?text=ok")
            if n > 1:
                from urllib.parse import quote
                target = "/t/redirect?n=%d&to=%s" % (n - 1, quote(target, safe=""))
            return self.send(302, b"", headers=[("Location", target)])
        if path == "/t/circle":
            return self.send(302, b"", headers=[("Location", "/t/circle")])
        if path == "/t/big":
            self.send_response(200)
            self.send_header("Content-Type", "application/octet-stream")
            self.send_header("Connection", "close")
            self.end_headers()
            return self.stream(int(float(q.get("mb", "20")) * 1024 * 1024))
        if path == "/t/hang":
            deadline = time.time() + HANG_LIMIT_S
            while time.time() < deadline and not self.server.stopping.is_set():
                time.sleep(0.2)
            self.close_connection = True
            return
        if path == "/t/drip":
            count, ms = int(q.get("bytes", "10")), int(q.get("ms", "100"))
            self.send_response(200)
            self.send_header("Content-Length", str(count))
            self.end_headers()
            try:
                for _ in range(count):
                    self.wfile.write(b"d")
                    self.wfile.flush()
                    time.sleep(ms / 1000.0)
            except OSError:
                pass
            return
        if path == "/t/requests":
            with self.server.lock:
                lines = "".join(json.dumps(r, ensure_ascii=False) + "\n" for r in self.server.requests)
            return self.send(200, lines.encode("utf-8"))
        if path == "/t/hostile":
            return self.hostile(q.get("case", ""))
        if path == "/t/feed-count":
            with self.server.lock:
                return self.send(200, str(self.server.feed_requests).encode("ascii"))
        if path == "/t/feed":
            with self.server.lock:
                if "text" in q:
                    self.server.feed_script = ("text", q["text"].encode("utf-8"))
                elif q.get("as"):
                    self.server.feed_script = ("as", q["as"])
                else:
                    self.server.feed_script = None
                count = self.server.feed_requests
            return self.send(200, str(count).encode("ascii"))
        if path == "/t/clear":
            with self.server.lock:
                self.server.requests.clear()
                self.server.steps.clear()
            return self.send(200, b"")
        self.send(404, b"unknown script")

    def hostile(self, case):
        if case in HOSTILE:
            return self.send(200, HOSTILE[case](), "text/xml; charset=utf-8")
        if case in GZIPPED:
            return self.send(200, GZIPPED[case](), "text/xml; charset=utf-8", [("Content-Encoding", "gzip")])
        if case in HOSTILE_STATUS:
            return self.send(HOSTILE_STATUS[case], HTML_ERROR, "text/html; charset=utf-8")
        if case == "big_length":
            self.send_response(200)
            self.send_header("Content-Length", str(BIG))
            self.end_headers()
            return self.stream(BIG)
        if case == "big_chunked":
            return self.scripted("/t/big", {"mb": "20"})
        if case == "drip":
            return self.scripted("/t/drip", {"bytes": "100", "ms": "1000"})
        if case == "hang":
            return self.scripted("/t/hang", {})
        if case == "circle":
            return self.scripted("/t/circle", {})
        if case == "scheme":
            return self.send(302, b"", headers=[("Location", "ftp://127.0.0.1/xml/")])
        if case == "reset":
            # A length promised, part of the body sent, then the connection reset.
            body = sample_feed(50).encode("utf-8")
            self.send_response(200)
            self.send_header("Content-Length", str(len(body)))
            self.end_headers()
            self.wfile.write(body[: len(body) // 3])
            self.wfile.flush()
            self.connection.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
            self.connection.close()
            self.close_connection = True
            return
        self.send(404, b"unknown case")

    def stream(self, size):
        block = b"x" * 65536
        try:
            while size > 0:
                n = min(size, len(block))
                self.wfile.write(block[:n])
                size -= n
        except OSError:
            pass
        self.close_connection = True


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--port", type=int, default=8765)
    ap.add_argument("--port-file", help="write the port here once listening")
    ap.add_argument("--every", type=float, default=45.0, help="seconds between new demo posts (0: never)")
    ap.add_argument("--verbose", action="store_true")
    args = ap.parse_args()

    server = ThreadingHTTPServer(("127.0.0.1", args.port), Handler)
    server.daemon_threads = True
    server.forum = Forum(args.every)
    server.requests = []
    server.steps = {}  # how far each /t/sequence has got
    server.lock = threading.Lock()
    server.feed_script = None  # what /xml/ answers instead of the demo feed
    server.feed_requests = 0
    server.stopping = threading.Event()
    server.verbose = args.verbose
    port = server.server_address[1]
    if args.port_file:
        tmp = args.port_file + ".tmp"
        with open(tmp, "w") as f:
            f.write("%d\n" % port)
        os.replace(tmp, args.port_file)
    print("site: http://127.0.0.1:%d/" % port, file=sys.stderr, flush=True)
    try:
        server.serve_forever(poll_interval=0.2)
    except KeyboardInterrupt:
        pass
    finally:
        server.stopping.set()
        server.server_close()


if __name__ == "__main__":
    main()
