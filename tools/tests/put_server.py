#!/usr/bin/python3
"""A small WebDAV-like site for the upload test: PUT stores a file under ROOT, MKCOL makes a
folder. Every request is appended to LOG as "METHOD PATH USER". A path listed in ROOT/../fail
(one per line, read on each request) is answered with 500. The port it listens on is written
to PORTFILE once it listens. Runs until killed."""
import base64
import http.server
import os
import sys

root, log, portfile = sys.argv[1:4]
failfile = os.path.join(os.path.dirname(os.path.abspath(root)), "fail")


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"  # keep-alive, as real servers do

    def log_message(self, *args):
        pass

    def answer(self, code):
        self.send_response(code)
        self.send_header("Content-Length", "0")
        self.end_headers()

    def record(self):
        auth = self.headers.get("Authorization", "")
        user = base64.b64decode(auth[6:]).decode() if auth.startswith("Basic ") else "-"
        with open(log, "a") as f:
            f.write(f"{self.command} {self.path} {user}\n")
        failing = open(failfile).read().split() if os.path.exists(failfile) else []
        return self.path in failing

    def do_PUT(self):
        body = self.rfile.read(int(self.headers.get("Content-Length", 0)))
        if self.record():
            self.answer(500)
            return
        path = os.path.join(root, self.path.lstrip("/"))
        if not os.path.isdir(os.path.dirname(path)):
            self.answer(409)  # as WebDAV: the folder must be made first
            return
        with open(path, "wb") as f:
            f.write(body)
        self.answer(201)

    def do_MKCOL(self):
        self.record()
        path = os.path.join(root, self.path.lstrip("/"))
        if os.path.isdir(path):
            self.answer(405)
            return
        os.makedirs(path)
        self.answer(201)


server = http.server.HTTPServer(("127.0.0.1", 0), Handler)
with open(portfile + ".tmp", "w") as f:
    f.write(str(server.server_port))
os.rename(portfile + ".tmp", portfile)
server.serve_forever()
