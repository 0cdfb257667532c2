#!/usr/bin/env python3
"""make_profiles.py OUT: real browser profiles for the browser tests, made by Debian's chromium and
firefox-esr running headless against pages served here on 127.0.0.1. Each browser's profiles go to
OUT/<browser>-<version>/ and are made once per version (a folder with its "complete" mark is kept).

What the browsers make themselves: history (command-line addresses count as typed in Chromium),
cookies of two hosts (127.0.0.1 and localhost), the HTTP cache, Firefox's form history from real
typing, and through Firefox's own programming interfaces a bookmark, a saved password, a typed visit,
the search bar's history and input history. Chromium's bookmark (its Bookmarks file), saved
password (a row of Login Data) and keyword search term are written into the made profile here,
with its SQLite, once the browser has closed it: driving Chromium's menus headless is impractical.

Site data goes into profiles of their own (OUT/chromium-*/Site Data, OUT/firefox-esr-*/site-data),
so the counts the other tests expect stay: each browser visits /site on 127.0.0.1 and localhost,
which stores a value of its host in Local Storage, Session Storage, IndexedDB, a private file and a
service worker's Cache Storage, and fetches a compression dictionary (Chromium keeps it). `--check-site-data CLEANED` opens cleaned copies in the browsers
again and checks what they read back through /site-read.
"""
import http.server, json, os, shutil, socket, sqlite3, subprocess, sys, threading, time

PORT = 47122             # the pages; no other test uses it
MARIONETTE_PORT = 47123  # Firefox's remote control
KEPT = "http://127.0.0.1:%d/kept" % PORT


class Pages(http.server.BaseHTTPRequestHandler):
    def log_message(self, *args):
        pass

    def do_GET(self):
        path = self.path.split("?")[0]
        if site_data_page(self, path):
            return
        name = path.strip("/").replace("/", "_") or "index"
        if path.startswith("/img"):
            body, kind = b"GIF89a\x01\x00\x01\x00\x00\x00\x00;" + b"x" * 4096, "image/gif"
        elif path == "/form":
            body, kind = b"<html><body><form action='/searched'><input name=q></form></body></html>", "text/html"
        else:
            body = ("<html><head><title>%s</title><link rel=icon href='/img_%s_icon.gif'></head>"
                    "<body>%s<img src='/img_%s.gif'></body></html>" % (name, name, name, name)).encode()
            kind = "text/html"
        self.send_response(200)
        self.send_header("Content-Type", kind)
        self.send_header("Cache-Control", "max-age=864000")
        if kind == "text/html":
            self.send_header("Set-Cookie", "c_%s=1; Max-Age=8640000; Path=/" % name)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)


# Site data: a page that stores a value of its host in Local Storage, Session Storage, IndexedDB
# and a service worker's Cache Storage and fetches a compression dictionary, and one that reads them
# back (a browser holding the dictionary names it when it fetches /qr-dict-use). Each ends by fetching /done
# (with what it read); the page's image /hold is answered only then, so that the page's load, which
# a headless browser waits for, ends after its script.
SITE_HOSTS = ("127.0.0.1", "localhost")
SITE_SCRIPT = """<script>
const h = location.hostname;
function idb(mode, value) {
  return new Promise((ok, no) => { const r = indexedDB.open('qrdb', 1);
    r.onupgradeneeded = () => r.result.createObjectStore('s');
    r.onerror = () => no(r.error);
    r.onsuccess = () => { const t = r.result.transaction('s', mode); const g = value === undefined ?
      t.objectStore('s').get('k') : t.objectStore('s').put(value, 'k');
      t.oncomplete = () => ok(g.result === undefined ? null : g.result); t.onerror = () => no(t.error); }; });
}
async function opfs(value) {
  const root = await navigator.storage.getDirectory();
  if (value === undefined) {
    try { return await (await (await root.getFileHandle('qr.txt')).getFile()).text(); } catch (e) { return null; }
  }
  const w = await (await root.getFileHandle('qr.txt', {create: true})).createWritable();
  await w.write(value);
  await w.close();
}
async function write() {
  localStorage.setItem('qr', 'LSVAL-' + h);
  await opfs('FSVAL-' + h);
  sessionStorage.setItem('qr', 'SSVAL-' + h);
  await idb('readwrite', 'IDBVAL-' + h);
  await navigator.serviceWorker.register('/sw.js');
  await (await caches.open('qr')).put('/cached', new Response('CACHEVAL-' + h));
  await (await fetch('/dict')).text();
  return 'written';
}
async function read() {
  const cached = await (await caches.open('qr')).match('/cached');
  return JSON.stringify({host: h, local: localStorage.getItem('qr'), indexeddb: await idb('readonly'),
                         cache: cached ? await cached.text() : null, files: await opfs(),
                         workers: (await navigator.serviceWorker.getRegistrations()).length,
                         dictionary: await (await fetch('/qr-dict-use')).text()});
}
(location.pathname == '/site-read' ? read() : write())
  .then(r => fetch('/done?' + encodeURIComponent(r)), e => fetch('/done?' + encodeURIComponent('error ' + e)));
</script><img src='/hold'>"""
site_done = {"event": threading.Event(), "reports": []}


def site_data_page(handler, path):
    if path in ("/site", "/site-read"):
        body, kind = ("<html><body>%s</body></html>" % SITE_SCRIPT).encode(), "text/html"
    elif path == "/sw.js":
        body, kind = b"self.addEventListener('fetch', e => {});", "text/javascript"
    elif path == "/dict":
        body, kind = ("DICTVAL-%s " % handler.headers.get("Host", "").split(":")[0]).encode() * 8, "text/plain"
    elif path == "/qr-dict-use":
        body, kind = (b"yes" if handler.headers.get("Available-Dictionary") else b"no"), "text/plain"
    elif path == "/done":
        from urllib.parse import unquote
        site_done["reports"].append(unquote(handler.path.split("?", 1)[1] if "?" in handler.path else ""))
        site_done["event"].set()
        body, kind = b"", "text/plain"
    elif path == "/hold":
        site_done["event"].wait(60)
        site_done["event"].clear()
        body, kind = b"GIF89a\x01\x00\x01\x00\x00\x00\x00;", "image/gif"
    else:
        return False
    handler.send_response(200)
    handler.send_header("Content-Type", kind)
    if path == "/dict":
        # A dictionary is kept for as long as it stays fresh.
        handler.send_header("Use-As-Dictionary", 'match="/qr-dict-use*"')
        handler.send_header("Cache-Control", "max-age=8640000")
    else:
        handler.send_header("Cache-Control", "no-store")
    handler.send_header("Content-Length", str(len(body)))
    handler.end_headers()
    handler.wfile.write(body)
    return True


def site_pages(page):
    return ["http://%s:%d/%s" % (host, PORT, page) for host in SITE_HOSTS]


def chromium_visit(data, urls):
    flags = ["--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
             "--disable-background-networking", "--disable-component-update", "--disable-sync",
             "--user-data-dir=" + data, "--dump-dom"]
    for url in urls:
        subprocess.run(["chromium"] + flags + [url], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                       timeout=120, check=True)


def firefox_visit(profile, urls):
    for url in urls:
        subprocess.run(["firefox-esr", "--headless", "--no-remote", "--profile", profile, "--screenshot",
                        os.path.join(profile, "..", "screenshot.png"), url],
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=120, check=True)


def make_chromium_site_data(out):
    """A profile of its own ("Site Data/Default"), so the other tests' counts stay as they are."""
    chromium_visit(os.path.join(out, "Site Data"), site_pages("site"))
    with sqlite3.connect(os.path.join(out, "Site Data", "Default", "Shared Dictionary", "db")) as db:
        hosts = sorted(row[0] for row in db.execute("SELECT host FROM dictionaries"))
    if hosts != sorted("http://%s:%d" % (host, PORT) for host in SITE_HOSTS):
        raise RuntimeError("chromium: dictionaries not kept: %s" % hosts)


def make_firefox_site_data(out):
    profile = os.path.join(out, "site-data")
    os.makedirs(profile, exist_ok=True)
    firefox_visit(profile, site_pages("site"))


def read_site_data(browser, folder):
    """What the real browser reads back of each host's values from a profile: one JSON line each."""
    site_done["reports"].clear()
    if browser == "chromium":
        chromium_visit(folder, site_pages("site-read"))
    else:
        firefox_visit(folder, site_pages("site-read"))
    return list(site_done["reports"])


def check_site_data(cleaned):
    failed = False
    for browser, folder in (("chromium", "chromium"), ("firefox", "firefox")):
        seen = {}
        for line in read_site_data(browser, os.path.join(cleaned, folder)):
            try:
                report = json.loads(line)
                seen[report["host"]] = report
            except (ValueError, KeyError):
                seen[line] = None
        for host in SITE_HOSTS:
            kept = host == "localhost"
            want = {"host": host, "local": "LSVAL-" + host if kept else None,
                    "indexeddb": "IDBVAL-" + host if kept else None,
                    "cache": "CACHEVAL-" + host if kept else None, "files": "FSVAL-" + host if kept else None,
                    "workers": 1 if kept else 0}
            got = seen.get(host)
            # Firefox keeps its dictionaries in the HTTP cache, which is not site data.
            want["dictionary"] = ("yes" if kept else "no") if browser == "chromium" else got and got.get("dictionary")
            print("%s %s: %s" % (browser, host, "as expected" if got == want else "read %s, expected %s" % (got, want)))
            failed |= got != want
    return failed


def version(command):
    out = subprocess.run([command, "--version"], capture_output=True, text=True).stdout
    numbers = [word for word in out.split() if word[:1].isdigit()]
    return numbers[0] if numbers else "unknown"


def pages(host):
    return ["http://%s:%d/%s" % (host, PORT, p) for p in ("one", "two")]


def make_chromium(out):
    data = os.path.join(out, "User Data")
    flags = ["--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
             "--disable-background-networking", "--disable-component-update", "--disable-sync",
             "--user-data-dir=" + data, "--dump-dom"]
    for profile, urls in (("Default", pages("127.0.0.1") + pages("localhost") + [KEPT]),
                          ("Profile 1", pages("127.0.0.1"))):
        for url in urls:
            subprocess.run(["chromium"] + flags + ["--profile-directory=" + profile, url],
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=120, check=True)
    default = os.path.join(data, "Default")
    bookmarks = {"checksum": "", "version": 1, "roots": {
        "bookmark_bar": {"children": [{"date_added": "13300000000000000", "guid": "00000000-0000-4000-a000-000000000001",
                                       "id": "5", "name": "Kept", "type": "url", "url": KEPT}],
                         "date_added": "13300000000000000", "guid": "0bc5d13f-2cba-5d74-951f-3f233fe6c908",
                         "id": "1", "name": "Bookmarks bar", "type": "folder"},
        "other": {"children": [], "id": "2", "name": "Other bookmarks", "type": "folder"},
        "synced": {"children": [], "id": "3", "name": "Mobile bookmarks", "type": "folder"}}}
    with open(os.path.join(default, "Bookmarks"), "w") as f:
        json.dump(bookmarks, f, indent=3)
    with sqlite3.connect(os.path.join(default, "Login Data")) as db:
        columns = [r[1] for r in db.execute("PRAGMA table_info(logins)")]
        values = {"origin_url": KEPT, "action_url": KEPT, "username_element": "u", "username_value": "user",
                  "password_element": "p", "password_value": b"secret", "signon_realm": "http://127.0.0.1:%d/" % PORT,
                  "date_created": 13300000000000000, "blacklisted_by_user": 0, "scheme": 0}
        names = [c for c in values if c in columns]
        db.execute("INSERT INTO logins (%s) VALUES (%s)" % (",".join(names), ",".join("?" * len(names))),
                   [values[c] for c in names])
    with sqlite3.connect(os.path.join(default, "Favicons")) as db:
        # Whether a headless run keeps a page's icon before it ends is a matter of timing: one icon
        # for the bookmark and one for a page that is only history stand here whatever it kept.
        for page, icon in ((KEPT, "kept.ico"), (pages("127.0.0.1")[0], "one.ico")):
            icon_id = db.execute("INSERT INTO favicons (url, icon_type) VALUES (?, 1)",
                                 ("http://127.0.0.1:%d/%s" % (PORT, icon),)).lastrowid
            db.execute("INSERT INTO favicon_bitmaps (icon_id, last_updated, image_data, width, height) "
                       "VALUES (?, 1, x'00', 16, 16)", (icon_id,))
            db.execute("INSERT INTO icon_mapping (page_url, icon_id) VALUES (?, ?)", (page, icon_id))
    with sqlite3.connect(os.path.join(default, "History")) as db:
        url_id = db.execute("SELECT id FROM urls WHERE url LIKE '%/one'").fetchone()[0]
        db.execute("INSERT INTO keyword_search_terms (keyword_id, url_id, term, normalized_term) "
                   "VALUES (2, ?, 'quiet search', 'quiet search')", (url_id,))


MARIONETTE_SCRIPT = """let [resolve] = arguments;
(async () => {
  const { PlacesUtils } = ChromeUtils.importESModule("resource://gre/modules/PlacesUtils.sys.mjs");
  const { FormHistory } = ChromeUtils.importESModule("resource://gre/modules/FormHistory.sys.mjs");
  await PlacesUtils.bookmarks.insert({parentGuid: PlacesUtils.bookmarks.toolbarGuid, url: "%(kept)s", title: "Kept"});
  await FormHistory.update({op: "add", fieldname: "searchbar-history", value: "typed search"});
  let login = Cc["@mozilla.org/login-manager/loginInfo;1"].createInstance(Ci.nsILoginInfo);
  login.init("http://127.0.0.1:%(port)d", "http://127.0.0.1:%(port)d", null, "user", "secret", "u", "p");
  await Services.logins.addLoginAsync(login);
  await PlacesUtils.history.insert({url: "http://127.0.0.1:%(port)d/typed",
                                    visits: [{transition: PlacesUtils.history.TRANSITIONS.TYPED}]});
  await PlacesUtils.withConnectionWrapper("input history", db => db.execute(
    "INSERT OR REPLACE INTO moz_inputhistory (place_id, input, use_count) " +
    "SELECT id, 'typ', 1 FROM moz_places WHERE url = :url", {url: "http://127.0.0.1:%(port)d/typed"}));
  resolve("ok");
})().catch(e => resolve("error " + e));""" % {"kept": KEPT, "port": PORT}


class Marionette:
    def __init__(self, port, deadline):
        while True:
            try:
                self.s = socket.create_connection(("127.0.0.1", port))
                break
            except OSError:
                if time.time() > deadline:
                    raise
                time.sleep(0.2)
        self.buf, self.id = b"", 0
        self.read()

    def read(self):
        while b":" not in self.buf:
            self.buf += self.s.recv(65536)
        n, rest = self.buf.split(b":", 1)
        while len(rest) < int(n):
            rest += self.s.recv(65536)
        self.buf = rest[int(n):]
        return json.loads(rest[:int(n)])

    def __call__(self, name, params=None):
        self.id += 1
        data = json.dumps([0, self.id, name, params or {}]).encode()
        self.s.sendall(str(len(data)).encode() + b":" + data)
        reply = self.read()
        if reply[2]:
            raise RuntimeError("%s: %s" % (name, reply[2]))
        return reply[3]


def make_firefox(out):
    profile = os.path.join(out, "profile")
    os.makedirs(profile)
    prefs = {"dom.allow_scripts_to_close_windows": True, "browser.shell.checkDefaultBrowser": False,
             "browser.startup.homepage_override.mstone": "ignore", "datareporting.policy.dataSubmissionEnabled": False,
             "toolkit.telemetry.reportingpolicy.firstRun": False, "browser.aboutwelcome.enabled": False,
             "app.update.enabled": False, "network.http.http3.enable": False, "marionette.port": MARIONETTE_PORT}
    with open(os.path.join(profile, "user.js"), "w") as f:
        for k, v in prefs.items():
            f.write("user_pref(%s, %s);\n" % (json.dumps(k), json.dumps(v)))
    browser = subprocess.Popen(["firefox-esr", "--headless", "--marionette", "-remote-allow-system-access",
                                "--no-remote", "--profile", profile],
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        m = Marionette(MARIONETTE_PORT, time.time() + 60)
        m("WebDriver:NewSession", {"capabilities": {}})
        for url in pages("127.0.0.1") + pages("localhost") + [KEPT, "http://127.0.0.1:%d/form" % PORT]:
            m("WebDriver:Navigate", {"url": url})
        found = m("WebDriver:FindElement", {"using": "css selector", "value": "input[name=q]"})
        element = list(found.get("value", found).values())[0]
        m("WebDriver:ElementSendKeys", {"id": element, "text": "quiet search\ue007"})
        m("Marionette:SetContext", {"value": "chrome"})
        result = m("WebDriver:ExecuteAsyncScript", {"script": MARIONETTE_SCRIPT})
        if result.get("value") != "ok":
            raise RuntimeError(str(result))
        try:
            m("Marionette:Quit", {"flags": ["eAttemptQuit"]})
        except (RuntimeError, OSError):
            pass
        browser.wait(timeout=60)
    finally:
        if browser.poll() is None:
            browser.kill()
    os.remove(os.path.join(profile, "user.js"))
    with sqlite3.connect(os.path.join(profile, "favicons.sqlite")) as db:
        # An icon of a page that is only history, and the site's root icon.
        db.execute("INSERT INTO moz_icons (icon_url, fixed_icon_url_hash, root) VALUES ('http://localhost:%d/favicon.ico', 1, 1)" % PORT)
        db.execute("INSERT INTO moz_pages_w_icons (page_url, page_url_hash) VALUES (?, 1)", (pages("localhost")[0],))
        db.execute("INSERT INTO moz_icons_to_pages (page_id, icon_id) VALUES (last_insert_rowid(), "
                   "(SELECT id FROM moz_icons WHERE root = 1))")


def drop_unix_locks(folder):
    """Linux keeps a running browser's lock as symbolic links; Windows has none of them."""
    for root, dirs, files in os.walk(folder):
        for name in files + dirs:
            path = os.path.join(root, name)
            if os.path.islink(path):
                os.remove(path)


def serve():
    # Another build tree's tests on this machine may hold the port for a while: wait for it.
    deadline = time.time() + 300
    while True:
        try:
            server = http.server.ThreadingHTTPServer(("127.0.0.1", PORT), Pages)
            break
        except OSError:
            if time.time() > deadline:
                raise
            time.sleep(1)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server


def main():
    if sys.argv[1] in ("--read-site-data", "--check-site-data"):
        # --read-site-data BROWSER FOLDER: the values the browser reads back, one JSON line a host.
        # --check-site-data CLEANED: the browsers read back the profiles a run cleaned with localhost
        # kept (CLEANED/chromium, CLEANED/firefox): its values all there, 127.0.0.1's all gone.
        import tempfile
        home = tempfile.mkdtemp()
        os.environ.update(HOME=home, XDG_CONFIG_HOME=home, XDG_CACHE_HOME=os.path.join(home, ".cache"))
        server = serve()
        if sys.argv[1] == "--read-site-data":
            for line in read_site_data(sys.argv[2], sys.argv[3]):
                print(line)
        else:
            failed = check_site_data(sys.argv[2])
        server.shutdown()
        shutil.rmtree(home, ignore_errors=True)
        if sys.argv[1] == "--check-site-data" and failed:
            sys.exit(1)
        return
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    server = serve()
    home = os.path.join(out, "home")  # the browsers' own settings stay out of the user's home
    os.makedirs(home, exist_ok=True)
    os.environ.update(HOME=home, XDG_CONFIG_HOME=home, XDG_CACHE_HOME=os.path.join(home, ".cache"))
    for command, make in (("chromium", make_chromium), ("firefox-esr", make_firefox)):
        folder = os.path.join(out, "%s-%s" % (command, version(command)))
        if os.path.exists(os.path.join(folder, "complete")):
            continue
        shutil.rmtree(folder, ignore_errors=True)
        os.makedirs(folder)
        make(folder)
        drop_unix_locks(folder)
        open(os.path.join(folder, "complete"), "w").close()
        print("made %s" % folder)
    for command, make in (("chromium", make_chromium_site_data), ("firefox-esr", make_firefox_site_data)):
        folder = os.path.join(out, "%s-%s" % (command, version(command)))
        if os.path.exists(os.path.join(folder, "site data 3 complete")):
            continue
        shutil.rmtree(os.path.join(folder, "Site Data" if command == "chromium" else "site-data"), ignore_errors=True)
        site_done["reports"].clear()
        make(folder)
        if site_done["reports"] != ["written"] * len(SITE_HOSTS):
            raise RuntimeError("%s: site data not written: %s" % (command, site_done["reports"]))
        drop_unix_locks(folder)
        open(os.path.join(folder, "site data 3 complete"), "w").close()
        print("made site data in %s" % folder)
    server.shutdown()
    # The test finds the current ones here.
    with open(os.path.join(out, "current"), "w") as f:
        for command in ("chromium", "firefox-esr"):
            f.write("%s-%s\n" % (command, version(command)))


if __name__ == "__main__":
    main()
