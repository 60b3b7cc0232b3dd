#!/usr/bin/python3
"""Renders pages before and after zerediz-compress in headless Chromium and fails on any change.

The pages are written here, each once with LF and once with CR LF line ends. zerediz-compress
makes a compressed mirror of them; every page and its mirror are then loaded in one Chromium with
JavaScript off and a fixed viewport, and their rendered text (innerText, the values of text areas
and the document's encoding) and full-page screenshots must be equal.

Chromium is driven through its DevTools protocol over --remote-debugging-pipe: JSON messages,
each ended by a NUL byte, on the browser's file descriptors 3 (in) and 4 (out). That needs no
port, so runs beside each other do not meet, and nothing beyond the standard library.

Usage: render_check.py COMPRESSOR WORK_DIR
WORK_DIR is emptied first; afterwards it holds the pages, their mirror, and the screenshots of
every page that failed. Exit status 0 when every page looked the same, 1 when one did not, 2 when
the check itself could not run.
"""

import base64
import collections
import json
import os
import select
import shutil
import subprocess
import sys
import tempfile
import time

VIEWPORT = {"width": 1024, "height": 768, "deviceScaleFactor": 1, "mobile": False}
ANSWER_SECONDS = 30
CHROMIUM = "/usr/bin/chromium"  # Debian's, whatever else is on PATH

HEAD = """<!DOCTYPE html>
<html>
<head>
<meta charset="{charset}">
<title>{title}</title>
</head>
<body>
"""
TAIL = """</body>
</html>
"""

# Each page: file name, charset it declares (and is written in), title, body. A space at the end
# of a line is written \x20, so that no editor takes it away.
PAGES = [
    ("code_sample_in_pre", "utf-8", "Code sample", """\
  <h1>A code sample in pre</h1>
  <p>
    The listing is marked up the way documentation generators write it.
  </p>
  <div class="highlight"><pre><span></span><span class="k">def</span> <span class="nf">walk</span>(<span class="n">tree</span>):
    <span class="k">for</span> <span class="n">node</span> <span class="ow">in</span> <span class="n">tree</span>:
        <span class="k">if</span> <span class="n">node</span>.<span class="n">children</span>:
            <span class="k">yield from</span> walk(<span class="n">node</span>.<span class="n">children</span>)
        <span class="k">yield</span> <span class="n">node</span>\x20\x20
</pre></div>
    <pre>
$ ls -l
  total 8
      drwxr-xr-x  2 root root 4096 .
\ta tab, then two spaces at the end\x20\x20
\x20\x20\x20\x20
    </pre>
"""),
    ("textarea", "utf-8", "Text area", """\
  <h1>A text area</h1>
  <form>
    <textarea rows="8" cols="50">
    first line, indented
        second line, deeper\x20\x20\x20
  third
</textarea>
  </form>
"""),
    ("nested_inline", "utf-8", "Nested inline elements", """\
  <h1>Inline elements</h1>
  <p><b>bold</b> <i>italic <code>code</code></i>
     <span>  a span with spaces  </span>  \x20
  <a href="#x"><em>link</em></a><span> glued</span>
  </p>
  <p>one<span>   </span>two<b>
     three</b>  four
  </p>
  <p><span style="white-space:pre">  kept  </span><span>   and   </span>on</p>
"""),
    ("chinese_utf8", "utf-8", "中文页面", """\
  <h1>压缩前后，浏览器里应当一模一样</h1>
  <p>
    这是一段中文，
    换行以后接着写。
  </p>
  <p>\u3000\u3000以全角空格开头的段落。</p>
  <pre>
  缩进两格的第一行
      缩进六格：  注释里也有空格\x20\x20
  </pre>
"""),
    ("chinese_gb18030", "gb18030", "国标页面", """\
  <h1>GB18030 编码的页面</h1>
  <p>
    汉字、全角符号，和四字节的字：𠀀、€。
  </p>
  <pre>
    缩进四格
        缩进八格：代码\x20\x20
  </pre>
  <textarea rows="4" cols="30">
      文本框里的缩进
  </textarea>
"""),
    ("white_space_style", "utf-8", "white-space in a style attribute", """\
  <h1>white-space set by the style attribute</h1>
  <div style="white-space:pre">
    indented in a div
        deeper still
  </div>
  <p style="color: #333; white-space: pre-wrap">   leading spaces under pre-wrap
     and on the next line   </p>
  <p><span style="white-space:break-spaces">  break-spaces\x20\x20
      next line</span></p>
  <p style="white-space: pre-line">
      pre-line collapses
      these spaces itself
  </p>
  <div style="white-space:pre"><div>  a div inside</div>
      still inside the outer div
  </div>
"""),
    ("script_holding_pre", "utf-8", "Script holding <pre>", """\
  <h1>Scripts and styles hold tags that open nothing</h1>
  <script>var open = "<pre>"; var close = '</pre>';</script>
  <style>/* <pre> */ p { color: #222 }</style>
  <p>
      indented text that no pre holds
  </p>
  <pre>
    inside a pre
  <script>var s = "</pre>";</script>
        after a script that holds the end tag
  </pre>
"""),
    ("comment_holding_pre", "utf-8", "Comment holding pre", """\
  <h1>Comments open nothing</h1>
  <!-- <pre> -->
  <p>
      indented text after the comment
  </p>
  <pre>
    inside a pre
  <!-- </pre> -->
        after a comment that holds the end tag
  </pre>
"""),
    ("upper_case_pre", "utf-8", "Upper-case PRE", """\
  <H1>Tag names in any case</H1>
  <PRE>
    UPPER-CASE PRE
        stays indented
  </PRE>
  <Pre class="mixed">
      Mixed case
  </pRE>
  <TEXTAREA rows="3">
     upper-case text area
  </TEXTAREA>
"""),
    ("attribute_holding_gt", "utf-8", "Attributes holding > and <", """\
  <h1>Quoted attributes hold &gt; and &lt;</h1>
  <pre title="a > b" data-tag='<p>'>
    indented after a quoted &gt;
        deeper
  </pre>
  <pre><a title="</pre>">a link whose title holds the end tag</a>
      still in the pre
  </pre>
"""),
    ("nested_pre", "utf-8", "A pre inside a pre", """\
  <h1>A pre inside a pre</h1>
  <pre>
    outer
  <pre>
      inner
  </pre>
      outer again
  </pre>
"""),
    ("listing_and_xmp", "utf-8", "listing and xmp", """\
  <h1>listing and xmp</h1>
  <listing>
    in a listing
        deeper
  </listing>
  <xmp>
    in an xmp, <b>tags</b> are text
        deeper
  </xmp>
"""),
]

# Pages that are cut short: no end tags after their last element.
OPEN_ENDED_PAGES = [
    ("unclosed_pre", "utf-8", "Unclosed pre", """\
  <h1>A pre that is never closed</h1>
  <pre>
    first
        second\x20\x20
  last
"""),
    ("plaintext", "utf-8", "plaintext", """\
  <h1>plaintext runs to the end</h1>
  <plaintext>
    in plaintext
        </plaintext> does not end it
  last
"""),
]

LINE_ENDS = [("lf", "\n"), ("crlf", "\r\n")]


Render = collections.namedtuple("Render", "text encoding png")


class CheckError(Exception):
    """The check could not run: no browser, a failed compression, a page that did not load."""


def write_pages(folder):
    """Writes every page in every line end; returns their file names and declared charsets."""
    pages = []
    for group, tail in ((PAGES, TAIL), (OPEN_ENDED_PAGES, "")):
        for name, charset, title, body in group:
            text = HEAD.format(charset=charset, title=title) + body + tail
            for suffix, line_end in LINE_ENDS:
                file_name = f"{name}.{suffix}.html"
                with open(os.path.join(folder, file_name), "wb") as page:
                    page.write(text.replace("\n", line_end).encode(charset))
                pages.append((file_name, charset))
    return pages


def compress(compressor, source, target):
    try:
        run = subprocess.run([compressor, "-q", "--output-dir", target, source],
                             capture_output=True, text=True)
    except OSError as error:
        raise CheckError(f"cannot run {compressor}: {error.strerror}") from error
    if run.returncode != 0:
        raise CheckError(f"{compressor} failed with status {run.returncode}: {run.stderr.strip()}")


class Browser:
    """One headless Chromium with one tab, spoken to over the DevTools pipe."""

    def __init__(self, executable):
        self.profile = tempfile.mkdtemp(prefix="zerediz-render-profile-")
        to_browser_read, to_browser_write = os.pipe()
        from_browser_read, from_browser_write = os.pipe()

        def give_pipes():
            # Duplicated first so that neither lands on 3 or 4 before it is moved there.
            browser_in, browser_out = os.dup(to_browser_read), os.dup(from_browser_write)
            os.dup2(browser_in, 3)
            os.dup2(browser_out, 4)

        flags = ["--headless", "--disable-gpu", "--disable-quic", "--no-first-run",
                 "--disable-background-networking", "--disable-component-update",
                 "--disable-sync", "--hide-scrollbars", "--remote-debugging-pipe",
                 f"--user-data-dir={self.profile}"]
        if os.geteuid() == 0:
            flags.append("--no-sandbox")
        try:
            self.process = subprocess.Popen([executable, *flags, "about:blank"],
                                            pass_fds=(3, 4), preexec_fn=give_pipes,
                                            stdin=subprocess.DEVNULL,
                                            stdout=subprocess.DEVNULL,
                                            stderr=subprocess.DEVNULL,
                                            start_new_session=True)
        except OSError as error:
            shutil.rmtree(self.profile, ignore_errors=True)
            raise CheckError(f"cannot start {executable}: {error.strerror}") from error
        os.close(to_browser_read)
        os.close(from_browser_write)
        self.outgoing = os.fdopen(to_browser_write, "wb")
        self.incoming = from_browser_read
        self.pending = b""
        self.events = []
        self.last_id = 0
        self.session = None

        try:
            target = self.call("Target.createTarget", {"url": "about:blank"})["targetId"]
            self.session = self.call("Target.attachToTarget",
                                     {"targetId": target, "flatten": True})["sessionId"]
            self.call("Page.enable")
            self.call("Emulation.setScriptExecutionDisabled", {"value": True})
            self.call("Emulation.setDeviceMetricsOverride", VIEWPORT)
        except CheckError:
            self.close()
            raise

    def close(self):
        self.session = None
        try:
            self.call("Browser.close")
            self.process.wait(ANSWER_SECONDS)
        except (CheckError, subprocess.TimeoutExpired):
            # The browser's own session holds its renderers too.
            os.killpg(self.process.pid, 9)
            self.process.wait()
        self.outgoing.close()
        os.close(self.incoming)
        shutil.rmtree(self.profile, ignore_errors=True)

    def call(self, method, params=None):
        self.last_id += 1
        message = {"id": self.last_id, "method": method, "params": params or {}}
        if self.session:
            message["sessionId"] = self.session
        try:
            self.outgoing.write(json.dumps(message).encode() + b"\0")
            self.outgoing.flush()
        except OSError as error:
            raise CheckError(f"Chromium quit before {method}: {error.strerror}") from error
        answer = self._wait(lambda m: m.get("id") == self.last_id, method)
        if "error" in answer:
            raise CheckError(f"{method}: {answer['error'].get('message')}")
        return answer["result"]

    def wait_for_event(self, method):
        return self._wait(lambda m: m.get("method") == method, method)

    def _wait(self, wanted, what):
        deadline = time.monotonic() + ANSWER_SECONDS
        while True:
            for index, message in enumerate(self.events):
                if wanted(message):
                    return self.events.pop(index)
            while b"\0" not in self.pending:
                left = deadline - time.monotonic()
                if left <= 0 or not select.select([self.incoming], [], [], left)[0]:
                    raise CheckError(f"Chromium did not answer {what} in {ANSWER_SECONDS} s")
                chunk = os.read(self.incoming, 1 << 20)
                if not chunk:
                    raise CheckError(f"Chromium quit while waiting for {what}")
                self.pending += chunk
            raw, self.pending = self.pending.split(b"\0", 1)
            self.events.append(json.loads(raw))

    def evaluate(self, expression):
        answer = self.call("Runtime.evaluate", {"expression": expression, "returnByValue": True})
        if "exceptionDetails" in answer:
            raise CheckError(f"evaluating {expression}: {answer['exceptionDetails'].get('text')}")
        return answer["result"]["value"]

    def render(self, path):
        """Loads a page and takes its rendered text, its encoding and a full-page PNG."""
        self.events = [m for m in self.events if m.get("method") != "Page.loadEventFired"]
        navigation = self.call("Page.navigate", {"url": "file://" + os.path.abspath(path)})
        if "errorText" in navigation:
            raise CheckError(f"{path} did not load: {navigation['errorText']}")
        self.wait_for_event("Page.loadEventFired")
        # A text area's content is its value, which innerText leaves out.
        text = self.evaluate(
            "[document.documentElement.innerText,"
            " ...Array.from(document.querySelectorAll('textarea'), (t, i) =>"
            " `[textarea ${i + 1}]\\n${t.value}`)].join('\\n')")
        encoding = self.evaluate("document.characterSet")
        size = self.call("Page.getLayoutMetrics")["cssContentSize"]
        clip = {"x": 0, "y": 0, "width": max(size["width"], VIEWPORT["width"]),
                "height": max(size["height"], VIEWPORT["height"]), "scale": 1}
        shot = self.call("Page.captureScreenshot",
                         {"format": "png", "clip": clip, "captureBeyondViewport": True})
        return Render(text, encoding, base64.b64decode(shot["data"]))


def first_text_difference(before, after):
    before_lines, after_lines = before.split("\n"), after.split("\n")
    for number, (old, new) in enumerate(zip(before_lines, after_lines), start=1):
        if old != new:
            return f"text line {number}: {old!r} became {new!r}"
    number = min(len(before_lines), len(after_lines)) + 1
    if len(before_lines) > len(after_lines):
        return f"text line {number}: {before_lines[number - 1]!r} is gone"
    return f"text line {number}: {after_lines[number - 1]!r} was added"


def picture_difference(before_file, after_file):
    """Where two screenshots of one size differ, as ImageMagick's WxH+X+Y box."""
    run = subprocess.run(["convert", before_file, after_file, "-compose", "difference",
                          "-composite", "-format", "%@", "info:"],
                         capture_output=True, text=True)
    return run.stdout.strip() if run.returncode == 0 else "somewhere"


def png_size(png):
    return int.from_bytes(png[16:20], "big"), int.from_bytes(png[20:24], "big")


def first_difference(before, after, picture_stem):
    """What first tells two renders apart, or None; differing screenshots are kept."""
    if before.encoding != after.encoding:
        return f"read as {before.encoding}, compressed as {after.encoding}"
    if before.text != after.text:
        return first_text_difference(before.text, after.text)
    if before.png == after.png:
        return None
    for render, ending in ((before, ".before.png"), (after, ".after.png")):
        with open(picture_stem + ending, "wb") as picture:
            picture.write(render.png)
    if png_size(before.png) != png_size(after.png):
        return "screenshot is {}x{}, was {}x{}".format(*png_size(after.png), *png_size(before.png))
    where = picture_difference(picture_stem + ".before.png", picture_stem + ".after.png")
    return f"screenshot differs in {where}"


def check_page(browser, name, charset, originals, mirror, shots):
    """Prints the page's line; returns whether it rendered the same after compression."""
    before_path, after_path = os.path.join(originals, name), os.path.join(mirror, name)
    if not os.path.isfile(after_path):
        print(f"FAIL  {name}: no compressed copy was written", flush=True)
        return False
    before, after = browser.render(before_path), browser.render(after_path)
    # A page that failed to load, or was read in another encoding, would compare as nothing.
    if before.encoding.lower() != charset or not before.text.strip():
        raise CheckError(f"{name} rendered as {before.encoding} with text {before.text[:40]!r}")
    sizes = f"{os.path.getsize(before_path)} -> {os.path.getsize(after_path)} bytes"
    difference = first_difference(before, after, os.path.join(shots, name))
    if difference is None:
        print(f"ok    {name} ({sizes})", flush=True)
    else:
        print(f"FAIL  {name} ({sizes}): {difference}", flush=True)
    return difference is None


def main(arguments):
    if len(arguments) != 2:
        print("usage: render_check.py COMPRESSOR WORK_DIR", file=sys.stderr)
        return 2
    compressor, work = arguments
    shutil.rmtree(work, ignore_errors=True)
    originals, mirror, shots = (os.path.join(work, part)
                                for part in ("pages", "compressed", "failed"))
    os.makedirs(originals)
    os.makedirs(shots)
    passed = failed = 0
    try:
        pages = write_pages(originals)
        compress(compressor, originals, mirror)
        browser = Browser(CHROMIUM)
        try:
            for name, charset in pages:
                if check_page(browser, name, charset, originals, mirror, shots):
                    passed += 1
                else:
                    failed += 1
        finally:
            browser.close()
    except CheckError as error:
        print(f"render check could not run: {error}", file=sys.stderr)
        return 2
    print(f"{passed} passed, {failed} failed")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
