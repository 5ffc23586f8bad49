#!/usr/bin/python3
"""signsim's web page in a real browser.

  web_face.py --signsim PATH --signctl PATH --out DIR
      Starts signsim with its page, opens the page in headless Chromium, shows a text with
      signctl and reads the rendered page back: the text as text, and the LEDs lit for its
      first character. Reloads the page and reads it again. Keeps a screenshot in DIR.
  web_face.py --shot URL --out FILE
      A screenshot of a running signsim's page.

Exit 77 (skipped) where Chromium or python3-websocket is missing or Chromium cannot start.
"""
import argparse
import html.parser
import json
import os
import shutil
import subprocess
import sys
import tempfile
import time
import urllib.request
import base64

SKIP = 77
LED_PITCH = 10  # the page draws an LED every 10 SVG units
H_LEDS = 68  # 'H' of the 5x7 font at twice its size: 17 dots, 4 LEDs each


def skip(why):
    print(f"SKIPPED: {why}")
    sys.exit(SKIP)


try:
    import websocket
except ImportError:
    skip("python3-websocket is missing (apt-get install python3-websocket, or run scripts/test)")


def wait_for(what, probe, timeout):
    deadline = time.monotonic() + timeout
    while True:
        value = probe()
        if value:
            return value
        if time.monotonic() > deadline:
            raise AssertionError(f"timed out after {timeout} s waiting for {what}")
        time.sleep(0.1)


class Browser:
    """Headless Chromium driven over its DevTools protocol, on loopback only."""

    def __init__(self, workdir):
        exe = shutil.which("chromium")
        if not exe:
            skip("chromium is not installed (apt-get install chromium, or run scripts/test)")
        profile = os.path.join(workdir, "profile")
        self.process = subprocess.Popen(
            [exe, "--headless=new", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage",
             "--no-first-run", "--remote-debugging-address=127.0.0.1",
             "--remote-debugging-port=0", f"--user-data-dir={profile}",
             "--window-size=1400,1000", "about:blank"],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        port_file = os.path.join(profile, "DevToolsActivePort")
        deadline = time.monotonic() + 60
        while not os.path.exists(port_file) or os.path.getsize(port_file) == 0:
            if self.process.poll() is not None or time.monotonic() > deadline:
                self.close()
                skip("chromium did not start (it needs a working /dev/shm and fonts; "
                     "try `chromium --headless=new --no-sandbox about:blank` by hand)")
            time.sleep(0.1)
        port = open(port_file).read().split()[0]
        targets = json.load(urllib.request.urlopen(f"http://127.0.0.1:{port}/json/list"))
        page = next(t for t in targets if t["type"] == "page")
        self.socket = websocket.create_connection(page["webSocketDebuggerUrl"], timeout=60)
        self.next_id = 0

    def call(self, method, **params):
        self.next_id += 1
        self.socket.send(json.dumps({"id": self.next_id, "method": method, "params": params}))
        while True:
            message = json.loads(self.socket.recv())
            if message.get("id") == self.next_id:
                if "error" in message:
                    raise AssertionError(f"{method}: {message['error']}")
                return message["result"]

    def evaluate(self, expression):
        try:
            result = self.call("Runtime.evaluate", expression=expression, returnByValue=True)
        except AssertionError:  # a document going away while it is asked
            return None
        return result["result"].get("value")

    def open(self, url):
        self.evaluate("window.leaving = true")
        self.call("Page.navigate", url=url)
        # The new document has its first view once its event stream is open.
        wait_for("the page's first view", lambda: self.evaluate(
            "!window.leaving && document.body && document.body.dataset.views"), 60)

    def screenshot(self, path):
        shot = self.call("Page.captureScreenshot", format="png", captureBeyondViewport=True)
        with open(path, "wb") as f:
            f.write(base64.b64decode(shot["data"]))

    def close(self):
        self.process.terminate()
        try:
            self.process.wait(10)
        except subprocess.TimeoutExpired:
            self.process.kill()


class Page(html.parser.HTMLParser):
    """The rendered page: its text rows and the lit LEDs by (x, y)."""

    def __init__(self, text):
        super().__init__()
        self.rows, self.lit, self.label = [], set(), None
        self._row = None
        self.feed(text)

    def handle_starttag(self, tag, attrs):
        a = dict(attrs)
        if tag == "svg" and a.get("id") == "panel":
            self.label = a.get("aria-label")
        elif tag == "circle" and a.get("class") == "on":
            self.lit.add((int(a["cx"]) // LED_PITCH, int(a["cy"]) // LED_PITCH))
        elif tag == "p" and "panel-row" in a.get("class", ""):
            self._row = {"x": int(a["data-x"]), "y": int(a["data-y"]), "text": ""}

    def handle_data(self, data):
        if self._row is not None:
            self._row["text"] += data

    def handle_endtag(self, tag):
        if tag == "p" and self._row is not None:
            self.rows.append(self._row)
            self._row = None


def check_text(browser, text):
    wait_for(f"'{text}' in the page", lambda: browser.evaluate(
        "[...document.querySelectorAll('#panel-text .panel-row')].map(p => p.textContent)"
        f".includes({json.dumps(text)})"), 60)
    page = Page(browser.evaluate("document.documentElement.outerHTML"))
    row = next(r for r in page.rows if r["text"] == text)
    first = {(x, y) for (x, y) in page.lit if row["x"] <= x < row["x"] + 12}
    assert (row["x"], row["y"]) == (0, 0), f"'{text}' stands at {row}, not at the top left"
    assert len(first) == H_LEDS, f"'{text[0]}' lights {len(first)} LEDs, not {H_LEDS}"
    assert text in page.label, f"the panel's label is {page.label!r}"


def end_to_end(args):
    work = tempfile.mkdtemp(prefix="web_face.")
    env = dict(os.environ, QORDTCON_SETTINGS_DIR=work, QORDTCON_LOG_DIR=work)
    sim = subprocess.Popen([args.signsim, "--tcp", "127.0.0.1:0", "--http", "127.0.0.1:0"],
                           stdout=subprocess.PIPE, text=True)
    browser = None
    try:
        tcp = sim.stdout.readline().rsplit(":", 1)[1].strip()
        url = sim.stdout.readline().split()[-1]
        assert url.startswith("http://127.0.0.1:"), url
        browser = Browser(work)
        browser.open(url)
        subprocess.run([args.signctl, "--connect", f"tcp://127.0.0.1:{tcp}", "text", "HELLO"],
                       env=env, check=True, timeout=60)
        check_text(browser, "HELLO")
        os.makedirs(args.out, exist_ok=True)
        browser.screenshot(os.path.join(args.out, "signsim-face.png"))
        # A page that comes back (a reload, a browser that reconnects) picks the state up again.
        browser.open(url)
        check_text(browser, "HELLO")
        print(f"ok: HELLO shown, {H_LEDS} LEDs for its H; screenshot in {args.out}")
    finally:
        if browser:
            browser.close()
        sim.terminate()
        sim.wait(30)
        shutil.rmtree(work, ignore_errors=True)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--signsim")
    parser.add_argument("--signctl")
    parser.add_argument("--shot", metavar="URL")
    parser.add_argument("--out", required=True)
    args = parser.parse_args()
    if args.shot:
        work = tempfile.mkdtemp(prefix="web_face.")
        browser = Browser(work)
        try:
            browser.open(args.shot)
            time.sleep(0.5)  # the LEDs of a second view, for a clock that has ticked
            browser.screenshot(args.out)
        finally:
            browser.close()
            shutil.rmtree(work, ignore_errors=True)
    else:
        end_to_end(args)


if __name__ == "__main__":
    main()
