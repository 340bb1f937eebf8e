#!/usr/bin/env python3
"""Serves test pages on a free loopback port. Prints the port, then each path asked for, one a
line.
- Any path: a text field and a large button whose click asks the server for /pressed; the page
  reports its visibility as /visibility?<state>.
- /mail: a mail page with an icon (/icon.png). Its button asks for permission to notify (the
  answer is reported as /permission?<answer>). Each time the page is hidden its title becomes
  "(3) Inbox", and once its button got permission it shows a notification "New mail" (tag
  "mail", replacing the one before), whose click it reports as /clicked; its second button closes
  that notification. It reports its visibility as /visibility?<state>.
  loopback_page.py > log"""
import http.server
import struct
import zlib

PAGE = b"""<!doctype html><html><head><title>Loopback page</title></head>
<body style="margin:0;background:#fff">
<input style="width:90%;font-size:30px" oninput="fetch('/typed?' + encodeURIComponent(this.value))">
<button style="width:100%;height:400px;font-size:40px"
        onclick="fetch('/pressed'); this.textContent = 'Pressed'">Press</button>
<script>
document.addEventListener('visibilitychange', () => fetch('/visibility?' + document.visibilityState));
</script>
</body></html>"""

MAIL = b"""<!doctype html><html><head><title>Inbox</title><link rel="icon" href="/icon.png"></head>
<body style="margin:0;background:#fff">
<button style="width:100%;height:200px;font-size:40px" onclick="ask()">Notify me</button>
<button style="width:100%;height:200px;font-size:40px" onclick="done()">Done</button>
<script>
let allowed = false, notice = null;
function done() {
  if (notice) notice.close();
  fetch('/done');
}
function ask() {
  Notification.requestPermission().then(answer => {
    allowed = answer === 'granted';
    fetch('/permission?' + answer);
  });
}
document.addEventListener('visibilitychange', () => {
  fetch('/visibility?' + document.visibilityState);
  if (document.visibilityState !== 'hidden') return;
  document.title = '(3) Inbox';
  if (!allowed) return;
  notice = new Notification('New mail', {body: '2 messages from Ada & <b>Bo</b>', tag: 'mail'});
  notice.onclick = () => fetch('/clicked');
  notice.onshow = () => fetch('/shown');
});
</script>
</body></html>"""


def png(width, height, rgba):
    """A PNG of one colour."""
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    rows = b"".join(b"\x00" + bytes(rgba) * width for _ in range(height))
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(rows)) + chunk(b"IEND", b""))


ICON = png(16, 16, (220, 40, 40, 255))


class Page(http.server.BaseHTTPRequestHandler):
    def do_GET(self):
        body, kind = PAGE, "text/html; charset=utf-8"
        if self.path.startswith("/mail"):
            body = MAIL
        elif self.path in ("/icon.png", "/favicon.ico"):
            body, kind = ICON, "image/png"
        self.send_response(200)
        self.send_header("Content-Type", kind)
        self.send_header("Content-Length", str(len(body)))
        self.send_header("Cache-Control", "no-store")
        self.end_headers()
        self.wfile.write(body)

    def log_message(self, format, *args):
        print(self.path, flush=True)


server = http.server.HTTPServer(("127.0.0.1", 0), Page)
print(server.server_address[1], flush=True)
server.serve_forever()
