#!/usr/bin/env python3
"""A CDN stand-in on 127.0.0.1 that can go silent in the middle of a package download.

    silent_cdn.py ROOT PORT_FILE SILENT_FLAG

Serves the files below ROOT (with Range) on an ephemeral loopback port, written to PORT_FILE.
While the file SILENT_FLAG exists, a package request gets its head and a third of its body,
then nothing more until the flag is gone (the connection is closed then). Each request is
logged to stdout as "METHOD PATH STATUS [silent]".
"""
import http.server
import os
import re
import sys
import time
import urllib.parse

ROOT, PORT_FILE, SILENT_FLAG = sys.argv[1:4]


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.0"

    def log_message(self, *args):
        pass

    def do_GET(self):
        path = urllib.parse.urlsplit(self.path).path
        file = os.path.realpath(os.path.join(ROOT, path.lstrip("/")))
        if not file.startswith(os.path.realpath(ROOT) + os.sep) or not os.path.isfile(file):
            self.send_error(404)
            print("GET", path, 404, flush=True)
            return
        with open(file, "rb") as f:
            data = f.read()
        status, first, last = 200, 0, len(data) - 1
        match = re.fullmatch(r"bytes=(\d+)-(\d*)", self.headers.get("Range", ""))
        if match:
            first = int(match.group(1))
            last = min(int(match.group(2)) if match.group(2) else last, len(data) - 1)
            status = 206
        body = data[first:last + 1]
        silent = path.endswith(".qzpkg") and os.path.exists(SILENT_FLAG)
        print("GET", path, status, "silent" if silent else "", flush=True)
        self.send_response(status)
        self.send_header("Content-Length", str(len(body)))
        if status == 206:
            self.send_header("Content-Range", "bytes %d-%d/%d" % (first, last, len(data)))
        self.end_headers()
        if not silent:
            self.wfile.write(body)
            return
        self.wfile.write(body[:len(body) // 3])
        self.wfile.flush()
        while os.path.exists(SILENT_FLAG):
            time.sleep(0.1)


server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
server.daemon_threads = True
with open(PORT_FILE + ".tmp", "w") as f:
    f.write(str(server.server_address[1]))
os.replace(PORT_FILE + ".tmp", PORT_FILE)
server.serve_forever()
