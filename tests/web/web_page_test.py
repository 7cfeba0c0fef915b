#!/usr/bin/python3
"""The service's web page in a real headless Chromium, against the real
zentrik-service on a temporary database. The plug-in's own requests make
the tasks and the journal; older runs are written into the journal directly.

    /usr/bin/python3 tests/web/web_page_test.py
(ZENTRIK_SERVICE names another zentrik-service than build/native's.)
"""

import csv
import datetime
import glob
import http.client
import io
import json
import os
import re
import shutil
import sys
import tempfile
import time
import unittest
import zoneinfo

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import zentrik_web as zw  # noqa: E402

from selenium.webdriver.common.by import By  # noqa: E402
from selenium.webdriver.support.ui import WebDriverWait  # noqa: E402

# Screenshots of the page; ZENTRIK_SCREENSHOT_DIR=docs renews the README's.
SHOTS = os.environ.get("ZENTRIK_SCREENSHOT_DIR", os.path.join(zw.ROOT, "build", "web"))
ZONE = "Europe/Paris"
MEETING = "Réunion équipe"
# Markup, quotes and a comma: shown as text on the page, quoted in the CSV.
ODD = '<b>x</b>, "y" & z'


def local_ms(day, hour, minute=0):
    """UTC milliseconds of a wall-clock time in ZONE."""
    moment = datetime.datetime.combine(day, datetime.time(hour, minute),
                                       tzinfo=zoneinfo.ZoneInfo(ZONE))
    return int(moment.timestamp() * 1000)


def wait_for(driver, condition, timeout=10):
    return WebDriverWait(driver, timeout).until(lambda d: condition())


class Browser:
    """Page operations shared by the tests."""

    def __init__(self, service, downloads=None):
        self.service = service
        self.driver = zw.chromium(downloads)

    def close(self):
        zw.close_chromium(self.driver)

    def find(self, css):
        return self.driver.find_element(By.CSS_SELECTOR, css)

    def texts(self, css):
        # In one script call: the page may rebuild the elements meanwhile.
        return self.driver.execute_script(
            "return [...document.querySelectorAll(arguments[0])].map(e => e.textContent)", css)

    def sign_in(self, login, password):
        self.driver.get(self.service.page)
        wait_for(self.driver, lambda: self.find("#signin").is_displayed())
        self.find("#signin-login").send_keys(login)
        self.find("#signin-password").send_keys(password)
        self.find("#signin-form button").click()

    def wait_home(self):
        wait_for(self.driver, lambda: self.find("#home").is_displayed() and
                 self.find("#journal-day").text != "")

    def sign_out(self):
        self.find("#signout").click()
        wait_for(self.driver, lambda: self.find("#signin").is_displayed())

    def session_cookie(self):
        return self.driver.get_cookie("zentrik_web")


def request(service, method, path, body=None, headers=None):
    """One HTTP request to the page's routes; returns (status, headers, body)."""
    connection = http.client.HTTPConnection("127.0.0.1", service.port, timeout=10)
    all_headers = {"Content-Type": "application/x-www-form-urlencoded"} if body else {}
    all_headers.update(headers or {})
    connection.request(method, "/KOVReport/" + path, body=body, headers=all_headers)
    reply = connection.getresponse()
    data = reply.read()
    connection.close()
    return reply.status, reply.headers, data


def sign_in_raw(service, login, password):
    """Signs in without a browser; returns (cookie header value, csrf token)."""
    status, headers, data = request(service, "POST", "api/signin",
                                    zw.url_form({"l": login, "p": password}),
                                    {"Origin": service.origin})
    assert status == 200, (status, data)
    cookie = headers["Set-Cookie"].split(";", 1)[0]
    return cookie, json.loads(data)["csrf"]


class PageTest(unittest.TestCase):
    """One service for the whole class: alice works through the plug-in,
    the administrator manages users from the page."""

    @classmethod
    def setUpClass(cls):
        os.environ["TZ"] = ZONE  # the service's zone, alice's local time
        cls.service = zw.ServiceProcess()
        cls.service.add_user("alice", "alice-pw", "Alice Martin")
        cls.plugin = zw.Plugin(cls.service.port)
        fields = cls.plugin.logon("alice", "alice-pw")
        assert int(fields[0]) > 0, fields
        for name in ("Projet A", MEETING, ODD):
            assert cls.plugin.task(3, name).startswith("True"), name
        assert cls.plugin.task(0, "Projet A", 3600).startswith("True")
        assert cls.plugin.task(1, "Projet A", 3700).startswith("True")
        assert cls.plugin.task(0, MEETING, 120).startswith("True")
        time.sleep(1.1)
        # The autosave brings the running task's seconds up to date.
        assert cls.plugin.sync([("Projet A", 3700, False), (MEETING, 150, True),
                                (ODD, 0, False)]) is not None
        today = datetime.datetime.now(zoneinfo.ZoneInfo(ZONE)).date()
        cls.yesterday = today - datetime.timedelta(days=1)
        cls.before = today - datetime.timedelta(days=2)
        zw.add_runs(cls.service.database, "alice", [
            ("Projet A", local_ms(cls.before, 10), local_ms(cls.before, 12)),
            ("Projet A", local_ms(cls.yesterday, 9), local_ms(cls.yesterday, 11, 30)),
            (MEETING, local_ms(cls.yesterday, 14), local_ms(cls.yesterday, 15)),
            (ODD, local_ms(cls.yesterday, 16), local_ms(cls.yesterday, 16, 15)),
        ], offset_minutes=60)
        cls.downloads = tempfile.mkdtemp(prefix="zentrik-downloads-")
        os.makedirs(SHOTS, exist_ok=True)
        cls.browser = Browser(cls.service, cls.downloads)

    @classmethod
    def tearDownClass(cls):
        cls.browser.close()
        cls.service.stop()
        shutil.rmtree(cls.downloads, ignore_errors=True)

    def setUp(self):
        self.browser.driver.delete_all_cookies()

    def test_user_sees_tasks_running_task_journal_chart_and_csv(self):
        b = self.browser
        b.sign_in("alice", "alice-pw")
        b.wait_home()
        self.assertEqual(b.find("#who-name").text, "Alice Martin")
        self.assertFalse(b.find("#admin").is_displayed())

        rows = [r.find_elements(By.TAG_NAME, "td") for r in
                b.driver.find_elements(By.CSS_SELECTOR, "#tasks tbody tr")]
        tasks = {cells[0].text: cells[1].text for cells in rows}
        self.assertEqual(set(tasks), {"Projet A", MEETING, ODD})
        self.assertEqual(tasks["Projet A"], "1h 1m 40s")
        # As the last autosave gave them: the run since the start is in them.
        self.assertEqual(tasks[MEETING], "0h 2m 30s")
        self.assertEqual(tasks[ODD], "0h 0m 0s")
        self.assertEqual(b.find("#running-name").text, MEETING)
        self.assertRegex(b.find("#running").text, r"\(0h 2m 30s, depuis \d\d:\d\d:\d\d\)$")
        self.assertEqual(b.texts("#tasks tr.is-running td:first-child"), [MEETING])

        self.assertEqual(b.find("#journal-day").text,
                         datetime.datetime.now(zoneinfo.ZoneInfo(ZONE)).date().isoformat())
        self.assertEqual(b.find("#journal-offset").text, "(UTC+01:00)")
        journal = [(r.get_attribute("data-kind"), r.find_elements(By.TAG_NAME, "td")[2].text)
                   for r in b.driver.find_elements(By.CSS_SELECTOR, "#journal tbody tr")]
        self.assertEqual(journal, [("add", "Projet A"), ("add", MEETING), ("add", ODD),
                                   ("start", "Projet A"), ("stop", "Projet A"),
                                   ("start", MEETING), ("autosave", "")])
        clock = b.find("#journal tbody tr td").text
        self.assertRegex(clock, r"^\d\d:\d\d:\d\d$")
        # Shown in Paris time, not UTC: within two minutes of the local clock.
        local_now = datetime.datetime.now(zoneinfo.ZoneInfo(ZONE))
        apart = (int(clock[:2]) * 60 + int(clock[3:5]) -
                 (local_now.hour * 60 + local_now.minute)) % (24 * 60)
        self.assertLessEqual(min(apart, 24 * 60 - apart), 2)

        wait_for(b.driver, lambda: b.driver.find_elements(By.CSS_SELECTOR, "#chart rect.bar"))
        bars = {(r.get_attribute("data-day"), r.get_attribute("data-task")):
                int(r.get_attribute("data-seconds"))
                for r in b.driver.find_elements(By.CSS_SELECTOR, "#chart rect.bar")}
        y, d = self.yesterday.isoformat(), self.before.isoformat()
        self.assertEqual(bars[(d, "Projet A")], 7200)
        self.assertEqual(bars[(y, "Projet A")], 9000)
        self.assertEqual(bars[(y, MEETING)], 3600)
        self.assertEqual(bars[(y, ODD)], 900)
        self.assertEqual(len(b.driver.find_elements(By.CSS_SELECTOR, "#chart svg")), 1)
        self.assertEqual(set(b.texts("#legend li")), {"Projet A", MEETING, ODD})
        # Markup in a name stays text: no element was made from it.
        self.assertEqual(b.driver.find_elements(By.CSS_SELECTOR, "#tasks td b"), [])
        b.driver.save_screenshot(os.path.join(SHOTS, "web-page.png"))

        b.find("#csv").click()
        wait_for(b.driver, lambda: glob.glob(os.path.join(self.downloads, "*.csv")))
        (path,) = glob.glob(os.path.join(self.downloads, "*.csv"))
        with open(path, "rb") as f:
            raw = f.read()
        self.assertTrue(raw.startswith(b"\xef\xbb\xbf"))
        self.assertIn(b'"<b>x</b>, ""y"" & z"', raw)
        self.assertIn("\r\n".encode(), raw)
        lines = list(csv.reader(io.StringIO(raw.decode("utf-8-sig"), newline="")))
        self.assertEqual(lines[0], ["jour", "tâche", "secondes", "heures"])
        self.assertIn([d, "Projet A", "7200", "2.00"], lines)
        self.assertIn([y, "Projet A", "9000", "2.50"], lines)
        self.assertIn([y, MEETING, "3600", "1.00"], lines)
        self.assertIn([y, ODD, "900", "0.25"], lines)
        self.assertEqual(len({(l[0], l[1]) for l in lines[1:]}), len(lines) - 1)

        b.sign_out()
        self.assertIsNone(b.session_cookie())

    def test_wrong_password_is_refused_on_the_page(self):
        b = self.browser
        b.sign_in("alice", "not-her-password")
        wait_for(b.driver, lambda: b.find("#signin-error").is_displayed())
        self.assertEqual(b.find("#signin-error").text, "Identifiant ou mot de passe incorrect.")
        self.assertFalse(b.find("#home").is_displayed())
        self.assertIsNone(b.session_cookie())

    def test_session_cookie_is_http_only_strict_and_expiring(self):
        b = self.browser
        b.sign_in("alice", "alice-pw")
        b.wait_home()
        cookie = b.session_cookie()
        self.assertTrue(cookie["httpOnly"])
        self.assertEqual(cookie["sameSite"], "Strict")
        self.assertFalse(cookie["secure"])
        self.assertEqual(cookie["path"], "/KOVReport/")
        self.assertGreater(cookie["expiry"], time.time())
        self.assertNotIn("zentrik_web", b.driver.execute_script("return document.cookie"))

        status, headers, _ = request(self.service, "POST", "api/signin",
                                     zw.url_form({"l": "alice", "p": "alice-pw"}),
                                     {"Origin": self.service.origin})
        header = headers["Set-Cookie"]
        for part in ("HttpOnly", "SameSite=Strict", "Path=/KOVReport/", "Max-Age="):
            self.assertIn(part, header)
        self.assertNotIn("Secure", header)
        # Two sign-ins never share a session.
        self.assertNotEqual(header.split(";")[0], "zentrik_web=" + cookie["value"])

    def test_state_changes_need_the_token_and_the_same_origin(self):
        cookie, token = sign_in_raw(self.service, "admin", "admin-secret")
        message = zw.url_form({"login": "alice", "text": "Bonjour"})
        good = {"Cookie": cookie, "X-Zentrik-CSRF": token, "Origin": self.service.origin}
        refusals = [
            ("no token", {"Cookie": cookie, "Origin": self.service.origin}, 403, "csrf"),
            ("wrong token", dict(good, **{"X-Zentrik-CSRF": "0" * 64}), 403, "csrf"),
            ("other site", dict(good, Origin="http://evil.example"), 403, "origin"),
            ("opaque origin", dict(good, Origin="null"), 403, "origin"),
            ("other site behind a proxy", dict(good, Origin="https://evil.example",
                                               **{"X-Forwarded-Host": "zentrik.example"}),
             403, "origin"),
            ("no session", {"X-Zentrik-CSRF": token, "Origin": self.service.origin}, 401,
             "signin"),
            ("forged session", dict(good, Cookie=re.sub(r"=\d+\.", "=999.", cookie)), 401,
             "signin"),
        ]
        for label, headers, status, error in refusals:
            with self.subTest(label):
                got, _, data = request(self.service, "POST", "api/messages", message, headers)
                self.assertEqual((got, json.loads(data)), (status, {"error": error}))
        _, _, data = request(self.service, "GET", "api/users", headers={"Cookie": cookie})
        alice = [u for u in json.loads(data)["users"] if u["login"] == "alice"][0]
        self.assertEqual(alice["message"], "")

        for label, headers in [("same origin", good),
                               ("behind a proxy", dict(good, Origin="https://zentrik.example",
                                                       **{"X-Forwarded-Host": "zentrik.example"})),
                               ("no browser", {"Cookie": cookie, "X-Zentrik-CSRF": token})]:
            with self.subTest(label):
                status, _, _ = request(self.service, "POST", "api/messages",
                                       zw.url_form({"login": "alice", "text": ""}), headers)
                self.assertEqual(status, 200)
        status, _, _ = request(self.service, "POST", "api/signin",
                               zw.url_form({"l": "alice", "p": "alice-pw"}),
                               {"Origin": "http://evil.example"})
        self.assertEqual(status, 403)

        # A signed-out session is dead even if its cookie was copied.
        status, _, _ = request(self.service, "POST", "api/signout", b"x=1", good)
        self.assertEqual(status, 200)
        status, _, _ = request(self.service, "GET", "api/me", headers={"Cookie": cookie})
        self.assertEqual(status, 401)

    def test_non_admin_gets_no_user_management(self):
        cookie, token = sign_in_raw(self.service, "alice", "alice-pw")
        headers = {"Cookie": cookie, "X-Zentrik-CSRF": token, "Origin": self.service.origin}
        status, _, _ = request(self.service, "GET", "api/users", headers=headers)
        self.assertEqual(status, 403)
        status, _, _ = request(self.service, "POST", "api/users/add",
                               zw.url_form({"login": "mallory", "password": "x",
                                            "display": "", "admin": "1"}), headers)
        self.assertEqual(status, 403)

    def test_values_the_plugin_cannot_carry_are_refused(self):
        cookie, token = sign_in_raw(self.service, "admin", "admin-secret")
        headers = {"Cookie": cookie, "X-Zentrik-CSRF": token, "Origin": self.service.origin}
        user = {"login": "carol", "display": "Carol", "password": "pw", "admin": "0"}
        cases = [
            ("api/users/add", dict(user, login="caröl€"), None),
            ("api/users/add", dict(user, login="carolā"), "login"),  # not in Windows-1252
            ("api/users/add", dict(user, login="ca\trol"), "login"),
            ("api/users/add", dict(user, login="x" * 101), "login"),
            ("api/users/add", dict(user, login="dave", password="☃"), "password"),
            ("api/users/add", dict(user, login="dave", password=""), "password"),
            ("api/users/add", dict(user, login="dave", display="A;B"), "display"),
            ("api/users/add", dict(user, login="caröl€"), "exists"),
            ("api/catalogue/add", {"login": "alice", "task": "a;b"}, "task"),
            ("api/catalogue/add", {"login": "alice", "task": "a\nb"}, "task"),
            ("api/catalogue/add", {"login": "nobody", "task": "ok"}, "unknown"),
            ("api/messages", {"login": "alice", "text": "x\n--End--\ny"}, "message"),
            ("api/messages", {"login": "alice", "text": "\u2603"}, "message"),
        ]
        for path, fields, error in cases:
            with self.subTest(path=path, fields=fields):
                status, _, data = request(self.service, "POST", path, zw.url_form(fields), headers)
                self.assertEqual(json.loads(data), {"error": error} if error else {})
        plugin = zw.Plugin(self.service.port)
        self.assertEqual(plugin.logon("caröl€", "pw")[1], "Carol")
        # Characters that mean something in a form, sent percent-encoded.
        self.assertEqual(request(self.service, "POST", "api/users/add", zw.url_form(
            dict(user, login="e&v+e%", password="a&b+c%41=")), headers)[0], 200)
        self.assertEqual(plugin.logon("e&v+e%", "a&b+c%41=")[1], "Carol")

    def test_admin_manages_users_catalogues_and_messages(self):
        b = self.browser
        b.sign_in("admin", "admin-secret")
        b.wait_home()
        wait_for(b.driver, lambda: b.find("#admin").is_displayed() and
                 b.find('#users tr[data-login="alice"]'))

        form = b.find("#user-add")
        form.find_element(By.NAME, "login").send_keys("bob")
        form.find_element(By.NAME, "display").send_keys("Bob Léger")
        form.find_element(By.NAME, "password").send_keys("bob-pw")
        form.find_element(By.TAG_NAME, "button").click()
        wait_for(b.driver, lambda: b.driver.find_elements(By.CSS_SELECTOR,
                                                          '#users tr[data-login="bob"]'))
        self.assertEqual(b.find("#notice").text, "Utilisateur bob ajouté.")

        # The same login again is refused with a message.
        form.find_element(By.NAME, "login").send_keys("bob")
        form.find_element(By.NAME, "password").send_keys("other")
        form.find_element(By.TAG_NAME, "button").click()
        wait_for(b.driver, lambda: "existe déjà" in b.find("#notice").text)

        for select in ("#catalogue-user", "#message-user"):
            b.find(select + ' option[value="bob"]').click()
        for name in (MEETING, "Support"):
            b.find("#catalogue-add input").send_keys(name)
            b.find("#catalogue-add button").click()
            wait_for(b.driver, lambda: name in b.texts("#catalogue li span.name"))

        row = b.find('#users tr[data-login="bob"]')
        row.find_element(By.NAME, "restricted").click()
        row.find_element(By.NAME, "password").send_keys("bob-pw-2")
        row.find_element(By.CSS_SELECTOR, "button.save").click()
        wait_for(b.driver, lambda: b.find("#notice").text == "Mot de passe de bob changé.")

        b.find("#message-form textarea").send_keys("Réunion à 14h ; salle B")
        b.find("#message-form button").click()
        wait_for(b.driver, lambda: b.find("#notice").text == "Message pour bob enregistré.")
        wait_for(b.driver, lambda: "salle B" in b.find("#message-pending").text)

        # What the administrator did, as bob's plug-in sees it.
        bob = zw.Plugin(self.service.port)
        self.assertEqual(bob.logon("bob", "bob-pw")[0], "0")
        self.assertEqual(bob.logon("bob", "bob-pw-2")[1], "Bob Léger")
        self.assertEqual(sorted(bob.chooser()), sorted([MEETING, "Support"]))
        self.assertTrue(bob.task(3, "Hors catalogue").startswith("False"))
        self.assertTrue(bob.task(3, "Support").startswith("True"))
        first = bob.sync([("Support", 10, False)])
        self.assertEqual(first.split(";", 2)[2], "Réunion à 14h ; salle B")
        self.assertEqual(len(bob.sync([("Support", 20, False)]).split(";", 2)), 2)

        b.find('#catalogue li[data-task="Support"] button').click()
        wait_for(b.driver, lambda: b.texts("#catalogue li span.name") == [MEETING])
        self.assertEqual(bob.chooser(), [MEETING])

        # Nobody can lock themself out of administration.
        own = b.find('#users tr[data-login="admin"]')
        own.find_element(By.NAME, "admin").click()
        own.find_element(By.CSS_SELECTOR, "button.save").click()
        wait_for(b.driver, lambda: "propres droits" in b.find("#notice").text)
        b.driver.execute_script("document.getElementById('admin').scrollIntoView()")
        b.driver.save_screenshot(os.path.join(SHOTS, "web-admin.png"))
        b.sign_out()


class HardenedServiceTest(unittest.TestCase):
    """A service configured behind TLS and with a low failure limit."""

    def setUp(self):
        self.service = zw.ServiceProcess({"cookie_secure": "yes", "failures_per_minute": "3",
                                          "web_session_idle_seconds": "2"})
        self.addCleanup(self.service.stop)

    def test_secure_expiring_cookie_and_sign_in_rate_limit(self):
        _, headers, _ = request(self.service, "POST", "api/signin",
                                zw.url_form({"l": "admin", "p": "admin-secret"}),
                                {"Origin": self.service.origin})
        self.assertIn("; Secure", headers["Set-Cookie"])
        self.assertIn("; Max-Age=2;", headers["Set-Cookie"])
        cookie = {"Cookie": headers["Set-Cookie"].split(";", 1)[0]}
        self.assertEqual(request(self.service, "GET", "api/me", headers=cookie)[0], 200)
        time.sleep(2.5)
        self.assertEqual(request(self.service, "GET", "api/me", headers=cookie)[0], 401)

        statuses = [request(self.service, "POST", "api/signin",
                            zw.url_form({"l": "admin", "p": "wrong"}))[0] for _ in range(3)]
        self.assertEqual(statuses, [401, 401, 401])
        # Now even the right password waits for the minute to pass.
        status, _, data = request(self.service, "POST", "api/signin",
                                  zw.url_form({"l": "admin", "p": "admin-secret"}))
        self.assertEqual((status, json.loads(data)), (429, {"error": "limited"}))


if __name__ == "__main__":
    unittest.main(verbosity=2)
