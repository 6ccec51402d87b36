#!/usr/bin/env python3
"""The web console's pages in a real browser: Debian's chromium driven by chromedriver.

  web_browser_test.py --bin DIR [--mode full|perf] [--screens DIR]
  web_browser_test.py --mode kick --url URL --password-file FILE --player NAME
                      --online-command "COMMAND..."

full: a small invented universe, the real qvserver and `helmsman --headless --web` on a free
loopback port. The admin logs in with the first start's password; a player who joins shows on
"Online" without a reload and is kicked off the server; another is kicked and banned with a
reason and an end, shows on "Bans" and is let in again by "Check Now"; a name filter added on
"Rules" bans a character who joins; "Display Now" puts the first timed banner into the
server's chat log. A viewer sees no acting element on any page, and a forged request (no
CSRF token, or the viewer's own) is refused and changes nothing. Every page is saved as a
screenshot at 1280x900 and at 390x844 into $TMPDIR/helmsman-web-screens (-perf, -kick for
the other modes; the last run's only), and into $HELMSMAN_SCREENS or --screens when given.

perf: 20,000 characters, 1,001 of them online from the start; prints how long the "Online"
and "Players" pages take from the navigation to their data shown (data-loaded="1").

kick: a console someone else started (the Windows program under Wine): log in, see the player
on "Online", kick them, and see them gone from what --online-command prints.

Exit status 0 passed, 1 failed, 77 skipped (no chromium, chromedriver or selenium). Whatever
it started (console, servers, chromedriver and chromium) is stopped in every outcome.
"""

import argparse
import datetime
import hashlib
import json
import os
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time
import traceback
import urllib.error
import urllib.request

SKIP = 77
TITLE = "QVServer - Version 1.0 Build 11 - QVServer"
PAGES = ["dashboard", "online", "players", "bans", "logs", "rules", "banners", "advanced"]
SIZES = {"desktop": (1280, 900), "phone": (390, 844)}
# Invented texts of this test: a filter word, the character it catches, a ban reason, a banner.
FILTER_WORD = "Rustclaw"
FILTERED_NAME = "Rustclaw Pell"
BAN_REASON = "flew through the customs ring twice"
BANNER = "Harbour lights on at every dock of the Venn reach tonight"
VIEWER, VIEWER_PASSWORD = "watcher", "lantern-and-slate-44"


class Failure(Exception):
    pass


STARTED = time.monotonic()


def log(text):
    print("[%5.1f s] %s" % (time.monotonic() - STARTED, text), flush=True)


def wait_until(test, timeout, what, interval=0.1):
    """Polls test() until it returns something true; Failure(what) after timeout seconds."""
    deadline = time.monotonic() + timeout
    while True:
        try:
            value = test()
        except Exception as error:  # an element replaced while it was read: look again
            if type(error).__name__ != "StaleElementReferenceException":
                raise
            value = None
        if value:
            return value
        if time.monotonic() > deadline:
            raise Failure("timed out after %g s: %s" % (timeout, what))
        time.sleep(interval)


def free_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def processes_naming(text):
    """The processes whose command line holds text (chromium's helpers name the profile)."""
    found = []
    for entry in os.listdir("/proc"):
        if not entry.isdigit() or int(entry) == os.getpid():
            continue
        try:
            with open("/proc/%s/cmdline" % entry, "rb") as cmdline:
                if text.encode() in cmdline.read():
                    found.append(int(entry))
        except OSError:
            pass
    return found


def kill_group(pid):
    try:
        os.killpg(pid, signal.SIGKILL)
    except (ProcessLookupError, PermissionError):
        pass


# --- The console's HTTP API, for setting up and checking (not what the pages are tested by) --

class ApiClient:
    def __init__(self, base):
        self.base = base
        self.cookies = urllib.request.HTTPCookieProcessor()
        self.opener = urllib.request.build_opener(self.cookies)
        self.csrf = ""

    def call(self, method, path, body=None, csrf=True):
        data = None if body is None else json.dumps(body).encode()
        request = urllib.request.Request(self.base + path, data=data, method=method)
        if data is not None:
            request.add_header("Content-Type", "application/json")
        if csrf and self.csrf:
            request.add_header("X-CSRF-Token", self.csrf)
        try:
            with self.opener.open(request, timeout=70) as reply:
                return reply.status, json.loads(reply.read() or b"{}")
        except urllib.error.HTTPError as error:
            text = error.read()
            try:
                return error.code, json.loads(text or b"{}")
            except ValueError:
                return error.code, {"text": text.decode(errors="replace")}

    def login(self, user, password):
        status, body = self.call("POST", "/api/login", {"user": user, "password": password})
        if status != 200:
            raise Failure("API login of %s: %d %s" % (user, status, body))
        self.csrf = body.get("csrf_token", "")

    def start_online_updates(self):
        """The first automatic players-online update comes a minute after start-up; a click on
        "Update List" brings it forward, and the 5-second interval runs from there."""
        status, body = self.call("POST", "/api/controls/cmdUpdatePlayersOnline/click", {})
        if status != 200:
            raise Failure("click cmdUpdatePlayersOnline: %d %s" % (status, body))

    def names(self, path):
        status, body = self.call("GET", path)
        if status != 200:
            raise Failure("GET %s: %d %s" % (path, status, body))
        rows = body.get("players", body.get("online", body.get("banned", [])))
        return [row.get("name", "") if isinstance(row, dict) else row for row in rows]


# --- The console over the real qvserver -------------------------------------------------------

class Console:
    """A generated universe, qvserver as QVServer.exe and helmsman --headless --web."""

    def __init__(self, bin_dir, work, accounts, characters, server_options, settings=(),
                 cache=None):
        self.bin = os.path.abspath(bin_dir)
        self.work = work
        self.program = os.path.join(work, "program")
        self.server = os.path.join(work, "server")
        self.root = os.path.join(self.server, "Accts", "MultiPlayer")
        desktop = os.path.join(work, "desktop")
        os.mkdir(desktop, 0o700)
        self.env = dict(os.environ, HELMSMAN_DESKTOP=desktop,
                        QVSERVER_ERROR_LOG=os.path.join(work, "qv-server-errors.log"))
        self.process = None
        self.port = None
        started = time.monotonic()
        if cache:
            self.copy_of_cached(cache, accounts, characters)
        else:
            self.generate(self.program, self.root, accounts, characters)
        os.symlink(os.path.join(self.bin, "qvserver"), os.path.join(self.server, "QVServer.exe"))
        with open(os.path.join(self.server, "qvserver.ini"), "w") as ini:
            ini.write("gamedata = %s\r\n" % self.program)
        self.run(["helmsman-settings", "--home", self.program,
                  "txtQVServerexePath=" + os.path.join(self.server, "QVServer.exe"),
                  "txtQVServercfgPath=" + os.path.join(self.root, "QVServer.cfg"),
                  "txtQVServerWindowName=" + TITLE,
                  "txtQVServerCommandLineOptions=--seed 5 --save-interval 600 " + server_options,
                  "chkRunHELMUnattended=1", "chkAutoUpdatePlayersOnline=1",
                  "vscAutoUpdateInterval=5", "vscPlayerBanCheckInterval=60"] + list(settings))
        # A player list file, even an empty one: the character files are read at start-up
        # without the first run's question.
        with open(os.path.join(self.program, "HelmsmanPlayerList.ini"), "w") as players:
            players.write("4.1\r\n")
        self.universe_seconds = time.monotonic() - started

    def generate(self, program, root, accounts, characters):
        self.run(["qvdemo", "gamedata", "--seed", "2031", "--out", program])
        self.run(["qvdemo", "accounts", "--seed", "2031", "--accounts", str(accounts),
                  "--characters", str(characters), "--root", root, "--gamedata", program,
                  "--now", "2026-03-01"])

    def copy_of_cached(self, cache, accounts, characters):
        """A big universe is made once into cache (for this qvdemo and size) and each run gets
        a copy whose character files are hard links: the server replaces a file it saves
        (a new file renamed over the old), so the cached ones stay as they were."""
        with open(os.path.join(self.bin, "qvdemo"), "rb") as program:
            wanted = "accounts=%d characters=%d qvdemo=%s" % (
                accounts, characters, hashlib.sha256(program.read()).hexdigest()[:16])
        stamp = os.path.join(cache, "universe.stamp")
        if Console.text(stamp).strip() != wanted:
            shutil.rmtree(cache, ignore_errors=True)
            os.makedirs(cache)
            self.generate(os.path.join(cache, "program"), os.path.join(cache, "root"),
                          accounts, characters)
            with open(stamp, "w") as file:
                file.write(wanted + "\n")
        shutil.copytree(os.path.join(cache, "program"), self.program)
        os.makedirs(os.path.dirname(self.root))
        subprocess.run(["cp", "-al", os.path.join(cache, "root"), self.root], check=True)

    def run(self, command, stdin=None, check=True):
        result = subprocess.run([os.path.join(self.bin, command[0])] + command[1:],
                                input=stdin, capture_output=True, text=True, env=self.env,
                                encoding="utf-8", errors="replace",
                                timeout=600)
        if check and result.returncode != 0:
            raise Failure("%s: status %d: %s" % (" ".join(command[:2]), result.returncode,
                                                 result.stderr.strip()[-500:]))
        return result

    def ctl(self, *arguments):
        """qvserver-ctl: (exit status, output)."""
        result = self.run(["qvserver-ctl"] + list(arguments), check=False)
        return result.returncode, result.stdout

    def online(self):
        code, out = self.ctl("online")
        return out.split("\n") if code == 0 else []

    def plain_names(self, count):
        """Characters of accounts without a ban whose names are letters and digits only."""
        names = []
        for folder in sorted(os.listdir(self.root)):
            path = os.path.join(self.root, folder)
            if not os.path.isdir(path) or any(f.lower() == "banned" for f in os.listdir(path)):
                continue
            with open(os.path.join(path, "name"), encoding="utf-8", errors="replace") as name:
                text = name.read().strip()
            if text.replace("_", "").isalnum() and text.isascii():
                names.append(text)
            if len(names) == count:
                return names
        raise Failure("fewer than %d plain names in the universe: %s" % (count, names))

    def start_server(self, options, timeout):
        """Starts the server by hand, before the console, and waits until it answers: a big
        universe's server takes long to load, longer than the console waits at its start."""
        subprocess.Popen([os.path.join(self.server, "QVServer.exe")] + options.split() + ["/c"],
                         cwd=self.server, env=self.env, stdin=subprocess.DEVNULL,
                         stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                         start_new_session=True)
        wait_until(lambda: self.ctl("status")[0] == 0, timeout, "the server's start", 1)

    def start(self, timeout):
        started = time.monotonic()
        for _ in range(5):
            self.port = free_port()
            self.out = os.path.join(self.work, "console.out")
            self.err = os.path.join(self.work, "console.err")
            with open(self.out, "w") as out, open(self.err, "w") as err:
                self.process = subprocess.Popen(
                    [os.path.join(self.bin, "helmsman"), "--headless", "--home", self.program,
                     "--run-for", "1800", "--web", "127.0.0.1:%d" % self.port],
                    stdout=out, stderr=err, stdin=subprocess.DEVNULL, env=self.env,
                    start_new_session=True)
            listening = "the web console listens on 127.0.0.1 port %d" % self.port
            wait_until(lambda: listening in self.text(self.err) or
                       "cannot start" in self.text(self.err) or self.process.poll() is not None,
                       timeout, "the web console's start: " + self.text(self.err)[-300:])
            if listening in self.text(self.err):
                break
            self.stop()  # someone took the port meanwhile: another one
        wait_until(lambda: "good to go!" in self.text(self.out) or self.process.poll() is not None,
                   timeout, "good to go: " + self.text(self.out)[-300:])
        if self.process.poll() is not None:
            raise Failure("the console ended: " + self.text(self.err)[-500:])
        self.start_seconds = time.monotonic() - started
        self.url = "http://127.0.0.1:%d" % self.port
        with open(os.path.join(self.program, "HelmsmanWebAdminPassword.txt")) as file:
            self.password = file.read().strip()

    @staticmethod
    def text(path):
        try:
            with open(path, encoding="utf-8", errors="replace") as file:
                return file.read().replace("\r", "")
        except OSError:
            return ""

    def server_file(self, name):
        return self.text(os.path.join(self.server, name))

    def servers(self):
        """The qvserver processes running in this server folder, whoever started them."""
        program = os.path.realpath(os.path.join(self.bin, "qvserver"))
        folder = os.path.realpath(self.server)
        found = []
        for entry in os.listdir("/proc"):
            if not entry.isdigit():
                continue
            try:
                if (os.readlink("/proc/%s/cwd" % entry) == folder and
                        os.readlink("/proc/%s/exe" % entry) == program):
                    found.append(int(entry))
            except OSError:
                pass
        return found

    def stop(self):
        """SIGINT ends the console's run; the server it leaves running is told to quit, and
        whatever is left of either is killed."""
        if self.process and self.process.poll() is None:
            self.process.send_signal(signal.SIGINT)
            try:
                self.process.wait(30)
            except subprocess.TimeoutExpired:
                kill_group(self.process.pid)
                self.process.wait()
        if self.process:
            kill_group(self.process.pid)
        self.process = None
        if self.servers():
            self.ctl("quit")
            try:
                wait_until(lambda: not self.servers(), 10, "the server's end")
            except Failure:
                for pid in self.servers():
                    os.kill(pid, signal.SIGKILL)


# --- The browser ------------------------------------------------------------------------------

# Run in every page before its own scripts: when each page section first shows its data (on
# the navigation's clock), every error toast, and every script error nobody caught.
RECORDER = """
window.__loadedAt = {};
window.__problems = [];
const __problem = text => window.__problems.push(
    location.hash + ' at ' + Math.round(performance.now()) + ' ms: ' + text);
window.addEventListener('error', e => __problem('script error: ' + e.message + ' (' +
                                                e.filename + ':' + e.lineno + ')'));
window.addEventListener('unhandledrejection', e => __problem('unhandled rejection: ' + e.reason));
new MutationObserver(changes => {
  for (const change of changes) {
    const target = change.target;
    if (change.type === 'attributes' && target.id && target.id.startsWith('page-') &&
        target.getAttribute('data-loaded') === '1' && !(target.id in window.__loadedAt))
      window.__loadedAt[target.id] = performance.now();
    for (const node of change.addedNodes || []) {
      if (node.classList && node.classList.contains('toast') && node.classList.contains('error'))
        __problem('error toast: ' + node.textContent);
    }
  }
}).observe(document, {attributes: true, attributeFilter: ['data-loaded'], childList: true,
                      subtree: true});
"""


class Browser:
    def __init__(self, work, screens):
        from selenium import webdriver
        from selenium.webdriver.chrome.service import Service
        self.work = work
        self.screens = screens
        self.profile = os.path.join(work, "chromium-profile")
        options = webdriver.ChromeOptions()
        options.binary_location = find_chromium()
        options.set_capability("goog:loggingPrefs", {"browser": "ALL"})
        for argument in ["--headless=new", "--no-sandbox", "--disable-gpu",
                         "--disable-dev-shm-usage", "--no-first-run", "--disable-extensions",
                         "--user-data-dir=" + self.profile, "--window-size=1280,900"]:
            options.add_argument(argument)
        self.service = Service(shutil.which("chromedriver"),
                               log_path=os.path.join(work, "chromedriver.log"),
                               popen_kw={"start_new_session": True})
        self.driver = None
        try:
            self.driver = webdriver.Chrome(service=self.service, options=options)
        except Exception:
            self.close()
            raise
        self.driver.set_script_timeout(30)
        self.driver.execute_cdp_cmd("Page.addScriptToEvaluateOnNewDocument",
                                    {"source": RECORDER})
        self.emulate("desktop")
        self.size = "desktop"

    def problems(self):
        """What went wrong in the page since it was loaded: error toasts, script errors."""
        return self.script("return window.__problems || [];")

    def keep_failure(self):
        """The page as the failure left it, and what its scripts said, for a look."""
        try:
            self.screenshot("failure")
            for entry in self.driver.get_log("browser")[-10:]:
                log("browser console: %s %s" % (entry.get("level"), entry.get("message")))
        except Exception:
            pass

    def close(self):
        if self.driver:
            try:
                self.driver.quit()
            except Exception:
                pass
        process = getattr(self.service, "process", None)
        if process:
            kill_group(process.pid)
        for pid in processes_naming(self.profile):
            try:
                os.kill(pid, signal.SIGKILL)
            except ProcessLookupError:
                pass

    # Elements.
    def find(self, css):
        from selenium.webdriver.common.by import By
        found = self.driver.find_elements(By.CSS_SELECTOR, css)
        return found[0] if found else None

    def all(self, css):
        from selenium.webdriver.common.by import By
        return self.driver.find_elements(By.CSS_SELECTOR, css)

    def visible(self, css):
        element = self.find(css)
        try:
            return element if element is not None and element.is_displayed() else None
        except Exception:  # gone between the find and the look
            return None

    def wait(self, css, timeout=15, what=None):
        return wait_until(lambda: self.visible(css), timeout, what or "the element " + css)

    def again_if_replaced(self, act):
        """act() once more when the page replaced the element between its find and its use
        (a page that shows fresh data builds its elements again)."""
        for attempt in range(5):
            try:
                return act()
            except Exception as error:
                if type(error).__name__ != "StaleElementReferenceException" or attempt == 4:
                    raise
                time.sleep(0.2)

    def click(self, css, timeout=15):
        def act():
            element = self.wait(css, timeout)
            self.driver.execute_script("arguments[0].scrollIntoView({block: 'center'})",
                                       element)
            element.click()
            return element
        return self.again_if_replaced(act)

    def set_value(self, css, value):
        """Sets an input's or a select's value as typing or choosing would (events included)."""
        element = self.wait(css)
        self.driver.execute_script(
            "const e = arguments[0]; e.value = arguments[1];"
            "e.dispatchEvent(new Event('input', {bubbles: true}));"
            "e.dispatchEvent(new Event('change', {bubbles: true}));", element, value)
        return element

    def type(self, css, text):
        def act():
            element = self.wait(css)
            element.clear()
            element.send_keys(text)
            return element
        return self.again_if_replaced(act)

    def confirm(self, expected):
        """OK in the page's modal: it must ask when expected, else it may (a question the
        console's reply raised)."""
        try:
            self.click("#modal-ok", timeout=10 if expected else 1)
        except Failure:
            if expected:
                raise

    def script(self, source, *arguments):
        return self.driver.execute_script(source, *arguments)

    def fetch(self, method, path, body=None, csrf=None):
        """A request from the page's own origin with its cookie: (status, text)."""
        return self.driver.execute_async_script(
            "const [method, path, body, csrf, done] = arguments;"
            "const headers = {'Content-Type': 'application/json'};"
            "if (csrf) headers['X-CSRF-Token'] = csrf;"
            "fetch(path, {method, headers, credentials: 'same-origin',"
            "             body: body === null ? undefined : JSON.stringify(body)})"
            "  .then(r => r.text().then(t => done([r.status, t])))"
            "  .catch(e => done([0, String(e)]));", method, path, body, csrf)

    # Pages.
    def open_page(self, name, timeout=20):
        """Goes to a page by its link in the navigation and waits for its data."""
        self.click('nav#nav a[data-page="%s"]' % name)
        return self.loaded(name, timeout)

    def loaded(self, name, timeout=20):
        return wait_until(lambda: self.find('section#page-%s[data-loaded="1"]' % name),
                          timeout, 'page "%s" shows its data' % name)

    def emulate(self, size):
        """The viewport of a desktop window or of a phone (its own pixel ratio and touch)."""
        width, height = SIZES[size]
        phone = size == "phone"
        self.driver.execute_cdp_cmd("Emulation.setDeviceMetricsOverride", {
            "width": width, "height": height, "deviceScaleFactor": 2 if phone else 1,
            "mobile": phone})
        self.driver.execute_cdp_cmd("Emulation.setTouchEmulationEnabled", {"enabled": phone})

    def resize(self, size):
        if size == self.size:
            return
        self.emulate(size)
        self.size = size
        time.sleep(0.3)

    def screenshot(self, name):
        """The page as it is now, at the current size, into the run's folder (and screens)."""
        file = "%s-%s.png" % (name, self.size)
        for folder in self.screens:
            os.makedirs(folder, exist_ok=True)
            self.driver.save_screenshot(os.path.join(folder, file))

    def login(self, user, password):
        self.wait("form#login-form")
        self.type("#login-user", user)
        self.type("#login-password", password)
        self.click("#login-submit")
        whoami = self.wait("#whoami", what="the login of " + user)
        wait_until(lambda: whoami.text.strip(), 5, "the #whoami text")
        return whoami.text.strip()

    def logout(self):
        self.click("button#logout")
        self.wait("form#login-form", what="the login form after logging out")


def find_chromium():
    for path in ("/usr/bin/chromium", "/usr/bin/chromium-browser"):
        if os.access(path, os.X_OK):
            return path
    return None


def row_texts(browser, css):
    return [cell.text.strip() for cell in browser.all(css + " td")]


# --- The checks -------------------------------------------------------------------------------

def check_full(args, work):
    console = Console(args.bin, work, accounts=8, characters=2, server_options="",
                      settings=["chkEnableTimedBanners=1", "vscBannerDisplayInterval=60",
                                "txtTimedBanner_0=" + BANNER])
    browser = None
    timings = {}
    try:
        console.start(timeout=90)
        log("console good to go in %.1f s (universe made in %.1f s) at %s"
            % (console.start_seconds, console.universe_seconds, console.url))
        kicked, banned, bystander = console.plain_names(3)
        api = ApiClient(console.url)
        api.login("admin", console.password)
        api.start_online_updates()
        browser = Browser(work, args.screens)
        log("chromium started")
        started = time.monotonic()
        driver = browser.driver
        driver.get(console.url + "/")
        browser.wait("form#login-form")
        browser.screenshot("login")
        whoami = browser.login("admin", console.password)
        if whoami != "admin (admin)":
            raise Failure("#whoami reads %r" % whoami)
        browser.loaded("dashboard")
        wait_until(lambda: browser.find("#server-state") and
                   browser.find("#server-state").text.strip() == "running", 15,
                   "the dashboard says the server is running")
        log("logged in as admin; the dashboard says the server is running")
        # A mark in the page's window: gone if anything below reloads the page.
        browser.script("window.__notReloaded = true;")

        # Online: a player who joins shows up by the stream; the kick takes them off the server.
        # Three join at once (the next online update shows them together): one to kick, one
        # to kick and ban, and one whom the refused requests below must leave alone.
        browser.open_page("online")
        for name in (kicked, banned, bystander):
            if console.ctl("join", name)[0] != 0:
                raise Failure("qvserver-ctl join " + name)
        joined = time.monotonic()
        row = 'table#online-table tbody tr[data-name="%s"]' % kicked
        browser.wait(row, 30, kicked + " on the Online page")
        timings["join seen"] = time.monotonic() - joined
        browser.click(row + ' button[data-action="kick"]')
        browser.confirm(expected=True)
        wait_until(lambda: kicked not in console.online(), 20, kicked + " off the server")
        wait_until(lambda: not browser.find(row), 10, kicked + "'s row gone from Online")
        log("Online: %s seen %.1f s after joining, kicked off the server" %
            (kicked, timings["join seen"]))

        # Kick and ban with a reason and an end (this hour: due at the next unban check).
        row = 'table#online-table tbody tr[data-name="%s"]' % banned
        browser.wait(row, 30, banned + " on the Online page")
        browser.click(row + ' button[data-action="kickban"]')
        now = datetime.datetime.now()
        browser.type("#ban-reason", BAN_REASON)
        browser.set_value("#ban-until-date", now.strftime("%Y-%m-%d"))
        browser.set_value("#ban-until-hour", str(now.hour))
        browser.screenshot("online-kickban")
        browser.click("#ban-submit")
        wait_until(lambda: banned not in console.online(), 20, banned + " off the server")
        if console.ctl("join", banned)[0] != 1:
            raise Failure("the server let %s join after the ban" % banned)
        browser.open_page("bans")
        row = 'table#bans-table tbody tr[data-name="%s"]' % banned
        browser.wait(row, 15, banned + " on the Bans page")
        wait_until(lambda: any(BAN_REASON in text for text in row_texts(browser, row)) and
                   any(str(now.year) in text for text in row_texts(browser, row)), 10,
                   "the ban's reason and end on the Bans page: %s" % row_texts(browser, row))
        browser.screenshot("bans-before-check")
        browser.click("button#check-now")
        wait_until(lambda: console.ctl("join", banned)[0] == 0, 20,
                   "the unban check lets %s join again" % banned)
        wait_until(lambda: not browser.find(row), 15, banned + "'s row gone from Bans")
        if "Player %s unbanned by automated unban check" % banned not in \
                browser.fetch("GET", "/api/logs/server")[1]:
            raise Failure("no automated unban line in the server log")
        log("Bans: %s kicked and banned until %s %d:00 (%r), shown on Bans, lifted by "
            "Check Now" % (banned, now.strftime("%Y-%m-%d"), now.hour, BAN_REASON))

        # A name filter that bans: a new character whose name holds the word is banned.
        browser.open_page("rules")
        browser.type("#name-filter-text", FILTER_WORD)
        browser.wait("select#name-filter-action")
        values = wait_until(lambda: browser.script(
            "return [...document.querySelectorAll('select#name-filter-action option')]"
            ".map(o => o.value);"), 10, "the choices of #name-filter-action")
        ban_value = next((v for v in values if "ban" in v.lower()), None)
        if ban_value is None:
            raise Failure("no ban in #name-filter-action: %s" % values)
        browser.set_value("select#name-filter-action", ban_value)
        browser.click("#name-filter-add")
        wait_until(lambda: any(FILTER_WORD in r.text for r in browser.all("#name-filters .rule-row")),
                   10, "the filter in #name-filters")
        if console.ctl("new", FILTERED_NAME)[0] != 0:
            raise Failure("qvserver-ctl new " + FILTERED_NAME)
        wait_until(lambda: FILTERED_NAME not in console.online(), 30,
                   FILTERED_NAME + " banned by the name filter")
        if console.ctl("join", FILTERED_NAME)[0] != 1:
            raise Failure("%s could join again after the filter's ban" % FILTERED_NAME)
        log("Rules: the name filter [%s] banned %s as it joined" % (FILTER_WORD, FILTERED_NAME))

        # Display Now: the first timed banner goes to the server's chat.
        browser.open_page("banners")
        browser.click('#timed-banners button[data-action="display-now"]')
        browser.confirm(expected=False)
        wait_until(lambda: "Universe: " + BANNER in console.server_file("chat.log"), 15,
                   "the banner in chat.log: " + console.server_file("chat.log")[-200:])
        log("Banners: Display Now put the timed banner into the server's chat log")

        # Forgeries with the admin's own cookie: no CSRF token, a wrong one.
        steps = {"steps": [{"verb": "select", "name": "lstPlayersOnline", "value": "=" + bystander},
                           {"verb": "click", "name": "cmdKickPlayer", "answers": ["ok"]}]}
        for csrf in (None, "0" * 64):
            status = browser.fetch("POST", "/api/steps", steps, csrf)[0]
            if status != 403:
                raise Failure("a kick with CSRF token %r: %d instead of 403" % (csrf, status))
        if bystander not in console.online():
            raise Failure("a forged kick took %s off the server" % bystander)
        if not browser.script("return window.__notReloaded === true;"):
            raise Failure("the page was reloaded on the way")


        # Every page as the admin sees it, at both sizes.
        for size in SIZES:
            browser.resize(size)
            for page in PAGES:
                browser.open_page(page)
                time.sleep(0.3)
                browser.screenshot("admin-" + page)
                wider = browser.script("return document.documentElement.scrollWidth - innerWidth;")
                if wider > 0:  # said, not failed: a look at the screenshot decides
                    log("%s: the %s page is %d px wider than the screen" % (size, page, wider))
        browser.resize("desktop")
        browser.logout()
        if browser.fetch("GET", "/api/session")[0] != 401:
            raise Failure("the session still answers after logging out")

        # A viewer: not a single acting element, and its own forged kick is refused.
        console.run(["helmsman-ctl", "--home", console.program, "web-user", "add", VIEWER,
                     "viewer"], stdin=VIEWER_PASSWORD + "\n")
        whoami = browser.login(VIEWER, VIEWER_PASSWORD)
        if whoami != "%s (viewer)" % VIEWER:
            raise Failure("#whoami reads %r" % whoami)
        for page in PAGES:
            browser.open_page(page)
            acting = browser.all("[data-acts]")
            if acting:
                raise Failure("the viewer sees %d acting elements on %s: %s" % (
                    len(acting), page, [e.get_attribute("outerHTML")[:80] for e in acting[:3]]))
            if page == "online":  # the viewer sees who is online, without the buttons
                browser.wait('table#online-table tbody tr[data-name="%s"]' % bystander, 15,
                             bystander + " on the viewer's Online page")
            browser.screenshot("viewer-" + page)
        session = json.loads(browser.fetch("GET", "/api/session")[1])
        status = browser.fetch("POST", "/api/steps", steps, session.get("csrf_token"))[0]
        if status != 403:
            raise Failure("the viewer's kick: %d instead of 403" % status)
        if bystander not in console.online():
            raise Failure("the viewer's kick took %s off the server" % bystander)
        # The page has not been reloaded since the admin's login: all of it is on record.
        if browser.problems():
            raise Failure("the pages went wrong on the way: %s" % browser.problems())
        browser.logout()
        log("viewer: no [data-acts] on %d pages, its kick 403 and %s still online; "
            "forged kicks without or with a wrong CSRF token 403" % (len(PAGES), bystander))
        log("browser part took %.1f s; screenshots in %s" % (
            time.monotonic() - started, " and ".join(args.screens)))
    except Exception:
        if browser:
            browser.keep_failure()
        raise
    finally:
        if browser:
            browser.close()
        console.stop()


def check_perf(args, work):
    console = Console(args.bin, work, accounts=4000, characters=5, server_options="--online 1001",
                      cache=args.cache)
    browser = None
    try:
        console.start_server("--seed 5 --save-interval 600 --online 1001", timeout=300)
        log("server over 20,000 characters up with 1,001 online")
        console.start(timeout=600)
        log("console over 20,000 characters good to go in %.1f s (universe made in %.1f s)"
            % (console.start_seconds, console.universe_seconds))
        api = ApiClient(console.url)
        api.login("admin", console.password)
        api.start_online_updates()
        wait_until(lambda: len(api.names("/api/online")) >= 1001, 60, "1,001 players online")
        browser = Browser(work, args.screens)
        browser.driver.get(console.url + "/")
        browser.login("admin", console.password)
        figures = {}
        for page, rows_css in (("online", "table#online-table tbody tr"),
                               ("players", "table#players-table tbody tr")):
            for attempt in ("first", "second"):
                browser.driver.get("about:blank")
                browser.driver.get(console.url + "/#/" + page)
                browser.loaded(page, 60)
                at = browser.script("return window.__loadedAt['page-%s'];" % page)
                rows = len(browser.all(rows_css))
                figures["%s (%s load)" % (page, attempt)] = (at, rows)
            browser.screenshot("perf-" + page)
        count = browser.find("#players-count")
        for what, (at, rows) in figures.items():
            log("perf: %-22s data shown %6.0f ms after navigation, %d rows" % (what, at, rows))
        log("perf: #players-count reads %r" % (count.text if count else None))
        online_rows = figures["online (first load)"][1]
        if online_rows != 1001:
            raise Failure("the Online page shows %d rows instead of 1001" % online_rows)
        slow = {what: at for what, (at, _) in figures.items() if at > 10000}
        if slow:
            raise Failure("pages far from usable within a second: %s" % slow)
    except Exception:
        if browser:
            browser.keep_failure()
        raise
    finally:
        if browser:
            browser.close()
        console.stop()


def check_kick(args, work):
    """Against a console started elsewhere: log in, see the player online, kick them."""
    with open(args.password_file, encoding="utf-8", errors="replace") as file:
        password = file.read().strip()
    online = lambda: subprocess.run(args.online_command, shell=True, capture_output=True,
                                    text=True).stdout.replace("\r", "").split("\n")
    api = ApiClient(args.url)
    api.login("admin", password)
    api.start_online_updates()
    browser = Browser(work, args.screens)
    try:
        browser.driver.get(args.url + "/")
        whoami = browser.login("admin", password)
        if whoami != "admin (admin)":
            raise Failure("#whoami reads %r" % whoami)
        browser.open_page("online", 30)
        row = 'table#online-table tbody tr[data-name="%s"]' % args.player
        browser.wait(row, 40, args.player + " on the Online page")
        browser.screenshot("wine-online")
        browser.click(row + ' button[data-action="kick"]')
        browser.confirm(expected=True)
        wait_until(lambda: args.player not in online(), 40, args.player + " off the server")
        wait_until(lambda: not browser.find(row), 20, args.player + "'s row gone from Online")
        browser.logout()
        log("kick: logged in at %s, %s seen on Online and kicked off the server, logged out"
            % (args.url, args.player))
    except Exception:
        browser.keep_failure()
        raise
    finally:
        browser.close()


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--bin", help="the built programs' folder")
    parser.add_argument("--mode", choices=["full", "perf", "kick"], default="full")
    parser.add_argument("--screens", default=os.environ.get("HELMSMAN_SCREENS"),
                        help="also save the screenshots here")
    parser.add_argument("--cache", help="perf: keep the generated universe here for next time")
    parser.add_argument("--url")
    parser.add_argument("--password-file")
    parser.add_argument("--player")
    parser.add_argument("--online-command")
    args = parser.parse_args()
    default_screens = os.path.join(tempfile.gettempdir(), "helmsman-web-screens" +
                                   ("" if args.mode == "full" else "-" + args.mode))
    args.screens = [default_screens] + ([args.screens] if args.screens else [])
    if os.path.isdir(default_screens):  # this run's only
        for file in os.listdir(default_screens):
            if file.endswith(".png"):
                os.remove(os.path.join(default_screens, file))
    try:
        import selenium  # noqa: F401
    except ImportError:
        log("skipped: python3-selenium is not installed")
        return SKIP
    if not find_chromium() or not shutil.which("chromedriver"):
        log("skipped: chromium or chromedriver is not installed")
        return SKIP
    if args.mode == "kick":
        if not (args.url and args.password_file and args.player and args.online_command):
            parser.error("--mode kick needs --url, --password-file, --player, --online-command")
    elif not args.bin:
        parser.error("--bin is needed")
    work = tempfile.mkdtemp(prefix="helmsman_web_browser_")
    started = time.monotonic()
    # SIGTERM (ctest's timeout) ends the run through the same clean-ups as a failure.
    def ended(*_):
        raise Failure("ended by SIGTERM")
    signal.signal(signal.SIGTERM, ended)
    try:
        {"full": check_full, "perf": check_perf, "kick": check_kick}[args.mode](args, work)
    except Exception as error:  # any failure: say it, leave the run's files for a look
        log("FAILED (%s): %s" % (type(error).__name__, str(error).split("\nStacktrace:")[0]))
        if not isinstance(error, Failure):  # where in this test
            log("".join(traceback.format_list([frame for frame in traceback.extract_tb(
                error.__traceback__) if frame.filename == os.path.abspath(__file__)])))
        log("the run's files are in " + work)
        return 1
    log("passed in %.1f s" % (time.monotonic() - started))
    shutil.rmtree(work, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
