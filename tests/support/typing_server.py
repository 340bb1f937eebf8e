#!/usr/bin/env python3
"""Pages to type into, served on 127.0.0.1, for the end-to-end keyboard tests.

    typing_server.py PORT_FILE REPORT_FILE

/a and /b hold a textarea that takes focus on load; every change of its text (and the page
being loaded and drawn, with an empty text) is reported back as GET /report?site=a&v=TEXT and appended to
REPORT_FILE as "a<TAB>TEXT". /c holds a file input that takes focus on load; serving it is reported as "c<TAB>". The chosen port is
written to PORT_FILE once the server listens.
"""
import sys
import urllib.parse
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

FIELD = """<!doctype html><title>field {site}</title><body style='margin:0'>
<textarea id=t autofocus style='position:fixed;left:0;top:0;width:100%;height:300px'></textarea>
<script>
const report = () => fetch('/report?site={site}&v=' + encodeURIComponent(t.value));
t.addEventListener('input', report);
// Ready once loaded and drawn: a page just made takes no keys before that.
addEventListener('load', () => requestAnimationFrame(() => setTimeout(report)));
</script>"""
CHOOSER = """<!doctype html><title>file</title><body style='margin:0'>
<input id=f type=file autofocus style='position:fixed;left:0;top:0;width:100%;height:60px'>"""


class Handler(BaseHTTPRequestHandler):
    def do_GET(self):
        url = urllib.parse.urlparse(self.path)
        if url.path == "/report":
            query = urllib.parse.parse_qs(url.query, keep_blank_values=True)
            with open(sys.argv[2], "a", encoding="utf-8") as out:
                out.write(f"{query['site'][0]}\t{query['v'][0]}\n")
            body = b""
        elif url.path in ("/a", "/b"):
            body = FIELD.replace("{site}", url.path[1:]).encode()
        elif url.path == "/c":
            body = CHOOSER.encode()
            with open(sys.argv[2], "a", encoding="utf-8") as out:
                out.write("c\t\n")
        else:
            self.send_error(404)
            return
        self.send_response(200)
        self.send_header("Content-Type", "text/html; charset=utf-8")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def log_message(self, *args):
        pass


server = ThreadingHTTPServer(("127.0.0.1", 0), Handler)
with open(sys.argv[1], "w", encoding="utf-8") as out:
    out.write(str(server.server_address[1]))
server.serve_forever()
