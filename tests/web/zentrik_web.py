"""Helpers of the web page's browser tests and figure: a real zentrik-service
on a temporary database and a free port, the plug-in's requests byte for
byte, journal runs written straight into the database, and a headless
Chromium."""

import os
import shutil
import socket
import sqlite3
import subprocess
import tempfile
import time
import urllib.parse

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
SERVICE = os.environ.get("ZENTRIK_SERVICE",
                         os.path.join(ROOT, "build", "native", "service", "zentrik-service"))
TOOLS = "/KOVReport/PluginTools/"
AGENT = b"User-Agent: [Talvenu plug-in v1.02]\nVORN-PLUGIN: [Talvenu plug-in v1.02]\n"
DAY_MS = 86400000


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


class ServiceProcess:
    """zentrik-service serving a fresh SQLite database in a temporary folder.
    settings: extra "key = value" lines of its configuration file."""

    def __init__(self, settings=None, admin_password="admin-secret"):
        self.dir = tempfile.mkdtemp(prefix="zentrik-web-")
        self.database = os.path.join(self.dir, "zentrik.db")
        self.port = free_port()
        self.admin_password = admin_password
        lines = {"listen": "127.0.0.1", "password_cost": "minimal",
                 "admin_login": "admin", "admin_password": admin_password}
        lines.update(settings or {})
        self.config = os.path.join(self.dir, "zentrik-service.conf")
        with open(self.config, "w", encoding="utf-8") as f:
            for key, value in lines.items():
                f.write(f"{key} = {value}\n")
        self.log = open(os.path.join(self.dir, "service.log"), "wb")
        self.process = subprocess.Popen(
            [SERVICE, "--config", self.config, "--port", str(self.port),
             "--database", self.database],
            cwd=self.dir, stdout=self.log, stderr=subprocess.STDOUT)
        deadline = time.time() + 20
        while True:
            try:
                socket.create_connection(("127.0.0.1", self.port), timeout=1).close()
                break
            except OSError:
                if self.process.poll() is not None or time.time() > deadline:
                    raise RuntimeError("zentrik-service did not start: " + self.log_text())
                time.sleep(0.05)
        self.origin = f"http://127.0.0.1:{self.port}"
        self.page = self.origin + "/KOVReport/"

    def log_text(self):
        self.log.flush()
        with open(self.log.name, "rb") as f:
            return f.read().decode("utf-8", "replace")

    def cli(self, *arguments, stdin=""):
        """Runs zentrik-service with arguments on this database; returns
        its output, raising on failure."""
        done = subprocess.run([SERVICE, *arguments, "--database", self.database],
                              input=stdin.encode("utf-8"), capture_output=True, timeout=60)
        if done.returncode != 0:
            raise RuntimeError(f"{arguments}: {done.stdout!r} {done.stderr!r}")
        return done.stdout.decode("utf-8", "replace")

    def add_user(self, login, password, display, admin=False):
        self.cli("user", "add", login, "--display", display, *(["--admin"] if admin else []),
                 stdin=password + "\n")

    def stop(self):
        self.process.terminate()
        try:
            self.process.wait(timeout=10)
        finally:
            if self.process.poll() is None:
                self.process.kill()
            self.log.close()
            shutil.rmtree(self.dir, ignore_errors=True)


def plugin_exchange(port, request):
    """Sends the bytes of one plug-in request, reads until the server
    closes, and returns (status line, body between the markers or None)."""
    with socket.create_connection(("127.0.0.1", port), timeout=10) as s:
        s.sendall(request)
        reply = b""
        while True:
            chunk = s.recv(512)
            if not chunk:
                break
            reply += chunk
    status = reply.split(b"\r\n", 1)[0].decode("latin-1")
    start = reply.find(b"--Start--")
    if start < 0:
        return status, None
    body = reply[start + 9:]
    end = body.find(b"--End--")
    if end >= 0:
        body = body[:end]
    return status, body.strip(b" \r\n")


def plugin_encode(name):
    """The plug-in's url_encode of a Windows-1252 name: letters, digits and
    '-_.' as they are, every other byte as %xx in lower case."""
    out = []
    for byte in name.encode("cp1252"):
        c = chr(byte)
        out.append(c if c.isascii() and (c.isalnum() or c in "-_.") else "%%%02x" % byte)
    return "".join(out)


class Plugin:
    """The online plug-in's requests, as its HTTP client writes them (LF
    line ends, the Content-Type without a blank and with a ';', an extra LF
    after a POST body)."""

    def __init__(self, port):
        self.port = port
        self.uid = -1

    def _host(self):
        return b"Host: 127.0.0.1:%d\n" % self.port

    def get(self, script, params):
        request = (b"GET " + (TOOLS + script).encode() + b"?" + params.encode("latin-1") +
                   b" HTTP/1.0\n" + AGENT + self._host() + b"\n")
        return plugin_exchange(self.port, request)

    def post(self, script, params):
        body = params if isinstance(params, bytes) else params.encode("latin-1")
        request = (b"POST " + (TOOLS + script).encode() + b" HTTP/1.0\n"
                   b"Content-Type:application/x-www-form-urlencoded;\n" + AGENT + self._host() +
                   b"Content-Length: %d\n\n" % len(body) + body + b"\n")
        return plugin_exchange(self.port, request)

    def logon(self, login, password):
        """Returns the reply body's fields; sets uid when they log on. The
        login and password go percent-encoded, as the plug-in sends them."""
        _, body = self.post("plg_connect.asp",
                            "l=" + plugin_encode(login) + "&p=" + plugin_encode(password))
        fields = body.decode("cp1252").split(";", 2)
        if int(fields[0]) > 0:
            self.uid = int(fields[0])
        return fields

    @staticmethod
    def today():
        return time.strftime("%Y%m%d")

    def task(self, fct, name, seconds=0):
        """A task event (0 start, 1 stop, 3 add, 4 remove); returns the
        reply body as text."""
        _, body = self.get("plg_mgrTasks.asp", "uid=%d&fct=%d&task=%s&time=%d&date=%s" % (
            self.uid, fct, plugin_encode(name), seconds, self.today()))
        return body.decode("cp1252")

    def chooser(self):
        """The names the task chooser offers."""
        _, body = self.get("plg_getTasks.asp", "uid=%d" % self.uid)
        return body.decode("cp1252").split("\r\n") if body else []

    def sync(self, tasks, fct=5):
        """The whole table: (name, seconds, running) triples; returns the
        reply body as text."""
        params = "uid=%d&fct=%d&date=%s&count=%d" % (self.uid, fct, self.today(), len(tasks))
        for n, (name, seconds, running) in enumerate(tasks, 1):
            params += "&task%d=%s&time%d=%d&status%d=%d" % (
                n, plugin_encode(name), n, seconds, n, 1 if running else 0)
        _, body = self.post("plg_mgrTasks.asp", params)
        return body.decode("cp1252") if body is not None else None


def add_runs(database, login, runs, offset_minutes=0):
    """Writes finished runs into the journal: (task, start_ms, end_ms) UTC
    triples, each as a start and a stop event, in one transaction."""
    rows = []
    for task, start, end in runs:
        rows.append((0, task, 0, 0, start))
        rows.append((1, task, (end - start) // 1000, start, end))
    with sqlite3.connect(database, timeout=30) as db:
        (user_id,) = db.execute("SELECT id FROM users WHERE login = ?", (login,)).fetchone()
        db.executemany(
            "INSERT INTO journal (user_id, kind, task, seconds, run_started_ms, utc_ms,"
            " utc_offset_minutes) VALUES (?, ?, ?, ?, ?, ?, ?)",
            [(user_id, kind, task, seconds, started, at, offset_minutes)
             for kind, task, seconds, started, at in rows])


def chromium(download_dir=None):
    """A fresh headless Chromium with its own profile folder, saving its
    downloads into download_dir."""
    from selenium import webdriver
    from selenium.webdriver.chrome.service import Service
    options = webdriver.ChromeOptions()
    options.binary_location = "/usr/bin/chromium"
    profile = tempfile.mkdtemp(prefix="zentrik-chromium-")
    for argument in ("--headless=new", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage",
                     "--disable-background-networking", "--disable-component-update",
                     "--disable-sync", "--no-first-run", "--window-size=1280,1100",
                     "--user-data-dir=" + profile):
        options.add_argument(argument)
    if download_dir:
        options.add_experimental_option("prefs", {"download.default_directory": download_dir,
                                                  "download.prompt_for_download": False})
    driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
    driver.zentrik_profile = profile
    return driver


def close_chromium(driver):
    driver.quit()
    shutil.rmtree(driver.zentrik_profile, ignore_errors=True)


def url_form(fields):
    return urllib.parse.urlencode(fields).encode()
