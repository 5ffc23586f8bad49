#!/usr/bin/python3
"""signsim's web page in a real browser (headless Chromium over its DevTools protocol).

  web_face.py --signsim PATH --signctl PATH --out DIR   the end-to-end test; screenshot in DIR
  web_face.py --shot URL --out FILE                      a screenshot of a running page

Exits 77 (skipped) where Chromium or python3-websocket is missing or Chromium cannot start.
"""
import argparse
import base64
import json
import os
import shutil
import subprocess
import sys
import tempfile
import time
import urllib.request

H_LEDS = 68  # 'H' of the 5x7 font at twice its size: 17 dots of 4 LEDs

# The rendered page read back: the row that holds TEXT, the lit LEDs of its first character
# (a cell of 12 LEDs; the page draws an LED every 10 units) and the panel's label.
READ_BACK = """(() => {
  const row = [...document.querySelectorAll('#panel-text .panel-row')]
      .find((p) => p.textContent === TEXT);
  if (!row) return null;
  const x = +row.dataset.x;
  const lit = [...document.querySelectorAll('#panel circle.on')]
      .filter((c) => Math.floor(c.getAttribute('cx') / 10) - x < 12 &&
                     Math.floor(c.getAttribute('cx') / 10) >= x).length;
  return {x, y: +row.dataset.y, lit, label: document.getElementById('panel').getAttribute('aria-label')};
})()"""


def skip(why):
    print(f"SKIPPED: {why}")
    sys.exit(77)


try:
    import websocket
except ImportError:
    skip("python3-websocket is missing (apt-get install python3-websocket, or run scripts/test)")


def wait_for(what, probe, timeout=60):
    deadline = time.monotonic() + timeout
    while not (value := probe()):
        if time.monotonic() > deadline:
            raise AssertionError(f"timed out after {timeout} s waiting for {what}")
        time.sleep(0.01)
    return value


class Browser:
    def __init__(self, workdir):
        exe = shutil.which("chromium") or skip(
            "chromium is not installed (apt-get install chromium, or run scripts/test)")
        profile = os.path.join(workdir, "profile")
        self.process = subprocess.Popen(
            [exe, "--headless=new", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage",
             "--no-first-run", "--remote-debugging-address=127.0.0.1",
             "--remote-debugging-port=0", f"--user-data-dir={profile}",
             "--window-size=1400,1000", "about:blank"],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        port_file, deadline = os.path.join(profile, "DevToolsActivePort"), time.monotonic() + 60
        while not os.path.exists(port_file) or os.path.getsize(port_file) == 0:
            if self.process.poll() is not None or time.monotonic() > deadline:
                self.close()
                skip("chromium did not start; try `chromium --headless=new --no-sandbox "
                     "about:blank` by hand to see why")
            time.sleep(0.1)
        port = open(port_file).read().split()[0]
        targets = json.load(urllib.request.urlopen(f"http://127.0.0.1:{port}/json/list"))
        page = next(t for t in targets if t["type"] == "page")
        self.socket = websocket.create_connection(page["webSocketDebuggerUrl"], timeout=60)
        self.calls = 0

    def call(self, method, **params):
        self.calls += 1
        self.socket.send(json.dumps({"id": self.calls, "method": method, "params": params}))
        while (message := json.loads(self.socket.recv())).get("id") != self.calls:
            pass
        if "error" in message:
            raise AssertionError(f"{method}: {message['error']}")
        return message["result"]

    def evaluate(self, expression):
        try:
            result = self.call("Runtime.evaluate", expression=expression, returnByValue=True)
        except AssertionError:  # the document went away while asked
            return None
        return result["result"].get("value")

    def open(self, url):
        self.evaluate("window.leaving = true")
        self.call("Page.navigate", url=url)
        # The new document has had its first view once its event stream is open.
        wait_for("the page's first view", lambda: self.evaluate(
            "!window.leaving && document.body && document.body.dataset.views"))

    def screenshot(self, path):
        shot = self.call("Page.captureScreenshot", format="png", captureBeyondViewport=True)
        with open(path, "wb") as f:
            f.write(base64.b64decode(shot["data"]))

    def close(self):
        self.process.terminate()
        self.process.wait(30)


def check_text(browser, text):
    """Waits for the text and checks how it is drawn; returns the seconds it took."""
    start = time.monotonic()
    got = wait_for(f"'{text}' in the page",
                   lambda: browser.evaluate(READ_BACK.replace("TEXT", json.dumps(text))))
    seconds = time.monotonic() - start
    assert (got["x"], got["y"]) == (0, 0), f"'{text}' stands at {got}, not at the top left"
    assert got["lit"] == H_LEDS, f"'{text[0]}' lights {got['lit']} LEDs, not {H_LEDS}"
    assert text in got["label"], f"the panel's label is {got['label']!r}"
    return seconds


def end_to_end(args):
    work = tempfile.mkdtemp(prefix="web_face.")
    env = dict(os.environ, QORDTCON_SETTINGS_DIR=work, QORDTCON_LOG_DIR=work)
    browser = Browser(work)
    sim = subprocess.Popen([args.signsim, "--tcp", "127.0.0.1:0", "--http", "127.0.0.1:0"],
                           stdout=subprocess.PIPE, text=True)
    try:
        tcp = sim.stdout.readline().rsplit(":", 1)[1].strip()
        url = sim.stdout.readline().split()[-1]
        browser.open(url)
        subprocess.run([args.signctl, "--connect", f"tcp://127.0.0.1:{tcp}", "text", "HELLO"],
                       env=env, check=True, timeout=60)
        shown = check_text(browser, "HELLO")
        os.makedirs(args.out, exist_ok=True)
        browser.screenshot(os.path.join(args.out, "signsim-face.png"))
        browser.open(url)  # a page that comes back picks the state up again
        check_text(browser, "HELLO")
        print(f"ok: HELLO shown {shown * 1000:.0f} ms after signctl returned, {H_LEDS} LEDs "
              f"for its H; screenshot in {args.out}")
    finally:
        browser.close()
        sim.terminate()
        sim.wait(30)
        shutil.rmtree(work, ignore_errors=True)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    for option in ("--signsim", "--signctl", "--shot"):
        parser.add_argument(option)
    parser.add_argument("--out", required=True)
    args = parser.parse_args()
    if not args.shot:
        return end_to_end(args)
    work = tempfile.mkdtemp(prefix="web_face.")
    browser = Browser(work)
    try:
        browser.open(args.shot)
        time.sleep(0.5)  # a scroll text a few steps on
        browser.screenshot(args.out)
    finally:
        browser.close()
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
