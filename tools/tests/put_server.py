#!/usr/bin/python3
"""A small WebDAV-like site for the upload test: PUT stores under ROOT (409 without the folder),
MKCOL makes a folder; each request is appended to LOG as "METHOD PATH USER:PASSWORD"; a path
listed in ROOT/../fail gets 500. Writes its port to PORTFILE once listening."""
import base64, http.server, os, sys

root, log, portfile = sys.argv[1:4]
failfile = os.path.join(os.path.dirname(os.path.abspath(root)), "fail")


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"  # keep-alive, as real servers do

    def log_message(self, *args):
        pass

    def answer(self, code):
        auth = self.headers.get("Authorization", "")
        user = base64.b64decode(auth[6:]).decode() if auth.startswith("Basic ") else "-"
        with open(log, "a") as f:
            f.write(f"{self.command} {self.path} {user}\n")
        self.send_response(code)
        self.send_header("Content-Length", "0")
        self.end_headers()

    def do_PUT(self):
        body = self.rfile.read(int(self.headers.get("Content-Length", 0)))
        path = os.path.join(root, self.path.lstrip("/"))
        if os.path.exists(failfile) and self.path in open(failfile).read().split():
            return self.answer(500)
        if not os.path.isdir(os.path.dirname(path)):
            return self.answer(409)
        with open(path, "wb") as f:
            f.write(body)
        self.answer(201)

    def do_MKCOL(self):
        os.makedirs(os.path.join(root, self.path.lstrip("/")), exist_ok=True)
        self.answer(201)


server = http.server.HTTPServer(("127.0.0.1", 0), Handler)
with open(portfile + ".tmp", "w") as f:
    f.write(str(server.server_port))
os.rename(portfile + ".tmp", portfile)
server.serve_forever()
