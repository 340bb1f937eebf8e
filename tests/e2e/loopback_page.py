#!/usr/bin/env python3
"""Serves one test page on a free loopback port: a text field and a large button whose click
asks the server for /pressed. Prints the port, then each path asked for, one a line.
  loopback_page.py > log"""
import http.server

PAGE = b"""<!doctype html><html><head><title>Loopback page</title></head>
<body style="margin:0;background:#fff">
<input style="width:90%;font-size:30px" oninput="fetch('/typed?' + encodeURIComponent(this.value))">
<button style="width:100%;height:400px;font-size:40px"
        onclick="fetch('/pressed'); this.textContent = 'Pressed'">Press</button>
</body></html>"""


class Page(http.server.BaseHTTPRequestHandler):
    def do_GET(self):
        self.send_response(200)
        self.send_header("Content-Type", "text/html; charset=utf-8")
        self.send_header("Content-Length", str(len(PAGE)))
        self.send_header("Cache-Control", "no-store")
        self.end_headers()
        self.wfile.write(PAGE)

    def log_message(self, format, *args):
        print(self.path, flush=True)


server = http.server.HTTPServer(("127.0.0.1", 0), Page)
print(server.server_address[1], flush=True)
server.serve_forever()
