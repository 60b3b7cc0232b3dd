#!/usr/bin/python3
"""What Chromium alone costs --verify: the pages loaded as often as the check must load them, and
nothing else.

Each page is loaded three times, as the least --verify can do for a page that may run scripts: the
page and a second copy of it with scripts (standing for its compressed form, whose bytes differ by
a few per cent), and the page without scripts. JOBS streams run at once, as `zerediz-compress
--verify -j JOBS` runs them, each with a tab of its own for scripts and one without, each load
waited for until its load event, as the check waits. No page is read, compared or photographed:
the pages a second this prints bound what any check that shows each page to the browser can do
on this machine.

Usage: browser_floor.py [--jobs N] [--browser PROGRAM] PAGE...
"""

import argparse
import json
import os
import pathlib
import queue
import subprocess
import tempfile
import threading
import time

FLAGS = [
    "--headless", "--remote-debugging-pipe", "--window-size=1280,800", "--hide-scrollbars",
    "--disable-gpu", "--no-first-run", "--no-default-browser-check",
    "--disable-background-networking", "--disable-component-update", "--disable-sync",
    "--disable-extensions", "--disable-default-apps", "--mute-audio",
    "--disable-features=BackForwardCache,ProactivelySwapBrowsingInstance,RenderDocument,"
    "SpareRendererForSitePerProcess",
]


class Browser:
    """Chromium over its DevTools pipe: commands out on fd 3, answers and events back on fd 4."""

    def __init__(self, program, profile):
        to_browser_read, self.to_browser = os.pipe()
        self.from_browser, from_browser_write = os.pipe()
        arguments = [program, *FLAGS, f"--user-data-dir={profile}", "about:blank"]
        if os.geteuid() == 0:
            arguments.insert(1, "--no-sandbox")

        def pipes():
            os.dup2(to_browser_read, 3)
            os.dup2(from_browser_write, 4)

        self.process = subprocess.Popen(arguments, pass_fds=(3, 4), preexec_fn=pipes,
                                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(to_browser_read)
        os.close(from_browser_write)
        self.next_id = 0
        self.lock = threading.Lock()
        self.inboxes = {}  # session (or "" for the browser) -> queue of messages
        self.inboxes[""] = queue.Queue()
        threading.Thread(target=self.read, daemon=True).start()

    def read(self):
        pending = b""
        while chunk := os.read(self.from_browser, 1 << 16):
            pending += chunk
            *messages, pending = pending.split(b"\0")
            for raw in messages:
                message = json.loads(raw)
                self.inboxes.setdefault(message.get("sessionId", ""), queue.Queue()).put(message)

    def send(self, method, params=None, session=""):
        with self.lock:
            self.next_id += 1
            message = {"id": self.next_id, "method": method, "params": params or {}}
            if session:
                message["sessionId"] = session
            os.write(self.to_browser, json.dumps(message).encode() + b"\0")
            return self.next_id

    def call(self, method, params=None, session=""):
        wanted = self.send(method, params, session)
        inbox = self.inboxes.setdefault(session, queue.Queue())
        while True:
            message = inbox.get(timeout=60)
            if message.get("id") == wanted:
                if "error" in message:
                    raise RuntimeError(f"{method}: {message['error']}")
                return message["result"]


class Tab:
    def __init__(self, browser, scripts):
        self.browser = browser
        context = browser.call("Target.createBrowserContext")["browserContextId"]
        target = browser.call("Target.createTarget",
                              {"url": "about:blank", "browserContextId": context})["targetId"]
        self.session = browser.call("Target.attachToTarget",
                                    {"targetId": target, "flatten": True})["sessionId"]
        self.inbox = browser.inboxes.setdefault(self.session, queue.Queue())
        for method, params in [("Page.enable", {}),
                               ("Page.setLifecycleEventsEnabled", {"enabled": True}),
                               ("Emulation.setScriptExecutionDisabled", {"value": not scripts})]:
            browser.call(method, params, self.session)
        tree = browser.call("Page.getFrameTree", {}, self.session)
        self.frame = tree["frameTree"]["frame"]["id"]

    def load(self, url):
        navigation = self.browser.send("Page.navigate", {"url": url}, self.session)
        loader, loaded = None, set()
        while loader is None or loader not in loaded:
            message = self.inbox.get(timeout=60)
            if message.get("id") == navigation:
                loader = message["result"]["loaderId"]
            elif (message.get("method") == "Page.lifecycleEvent"
                  and message["params"]["frameId"] == self.frame
                  and message["params"]["name"] == "load"):
                loaded.add(message["params"]["loaderId"])


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--jobs", type=int, default=2)
    parser.add_argument("--browser", default="chromium")
    parser.add_argument("pages", nargs="+")
    options = parser.parse_args()
    urls = [pathlib.Path(page).resolve().as_uri() for page in options.pages]
    with tempfile.TemporaryDirectory() as profile:
        browser = Browser(options.browser, profile)
        streams = [(Tab(browser, True), Tab(browser, False)) for _ in range(options.jobs)]
        work = queue.Queue()
        for url in urls:
            work.put(url)

        def stream(with_scripts, without_scripts):
            while True:
                try:
                    url = work.get_nowait()
                except queue.Empty:
                    return
                with_scripts.load(url)
                with_scripts.load(url)
                without_scripts.load(url)

        start = time.monotonic()
        threads = [threading.Thread(target=stream, args=tabs) for tabs in streams]
        for thread in threads:
            thread.start()
        for thread in threads:
            thread.join()
        seconds = time.monotonic() - start
        browser.process.kill()
        browser.process.wait()
    print(f"{len(urls)} pages, {options.jobs} at once, each loaded 3 times: {seconds:.1f} s, "
          f"{len(urls) / seconds:.2f} pages a second")


if __name__ == "__main__":
    main()
