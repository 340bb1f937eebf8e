#!/usr/bin/env python3
"""Pages to type into, served on 127.0.0.1, for the end-to-end keyboard tests.

    typing_server.py PORT_FILE REPORT_FILE

/a and /b hold a textarea that takes focus on load; every change of its text (and the page
being loaded and drawn, with an empty text) is reported back as GET /report?site=a&v=TEXT and appended to
REPORT_FILE as "a<TAB>TEXT". /c holds a file input that takes focus on load; serving it is reported as "c<TAB>". The chosen port is
written to PORT_FILE once the server listens.

/ask/KIND (notifications, microphone, camera, media (both), location) is one large button that asks
for the permission when clicked and reports the outcome as "KIND<TAB>granted", "KIND<TAB>granted
audio,video" (the tracks of a stream), "KIND<TAB>denied" or the error's name (NotAllowedError).
On load it reports the permission as the page reads it: "KIND-state<TAB>default|granted|denied|
prompt". Each origin has its own answers: start one server per kind. /ask/notifications-on-load
asks as soon as it is loaded, without a click (as chat and mail apps do), and reports as
"notifications-on-load".
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
ASK = """<!doctype html><title>ask {kind}</title><body style='margin:0'>
<button id=b style='position:fixed;left:0;top:0;width:100%;height:100%;font-size:30px'>Ask {kind}</button>
<script>
const asked = '{kind}';
const kind = asked.replace('-on-load', '');
const report = (site, v) => fetch('/report?site=' + site + '&v=' + encodeURIComponent(v));
const ask = async () => {
  try {
    if (kind == 'notifications') {
      report(asked, await Notification.requestPermission());
    } else if (kind == 'location') {
      navigator.geolocation.getCurrentPosition(() => report(asked, 'granted'),
                                               e => report(asked, e.code == 1 ? 'denied' : 'granted'));
    } else {
      const stream = await navigator.mediaDevices.getUserMedia({audio: kind != 'camera', video: kind != 'microphone'});
      report(asked, 'granted ' + stream.getTracks().map(t => t.kind).sort().join(','));
      stream.getTracks().forEach(t => t.stop());
    }
  } catch (e) {
    report(asked, e.name);
  }
};
b.onclick = ask;
addEventListener('load', async () => {
  let state = '';
  if (kind == 'notifications') {
    state = Notification.permission;
  } else {
    const names = {location: 'geolocation', media: 'camera'};
    try { state = (await navigator.permissions.query({name: names[kind] || kind})).state; } catch (e) { state = e.name; }
  }
  requestAnimationFrame(() => setTimeout(() => report(asked + '-state', state)));
  if (asked != kind) ask();
});
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
        elif url.path.startswith("/ask/") and url.path[5:] in ("notifications", "notifications-on-load", "microphone", "camera", "media", "location"):
            body = ASK.replace("{kind}", url.path[5:]).encode()
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
