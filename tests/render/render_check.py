#!/usr/bin/python3
"""Renders pages before and after zerediz-compress in headless Chromium and fails on any change.

The pages are written here, each once with LF and once with CR LF line ends, with the style sheets
some of them link; the real corpora named on the command line (folders of pages, such as the
Python documentation that Debian installs) are copied as they are. Each tree is copied once more
for each level of the trim and compressed in place by zerediz-compress at that level (the standard
one, and --deep), so that every page finds its style sheets, scripts and images beside it in
each. Every page and its compressed copy are then loaded in one Chromium with
a fixed viewport, once with JavaScript off and once with it on, and these must be equal: the
rendered text (innerText, the values of text areas and inputs, the document's encoding), the
values of the attributes a person sees (title, alt, placeholder, value), and the full-page
screenshot, taken in tiles. Each page of our own must also lose the spaces of its ordinary
indentation (at the deep level only, for the pages indented with tabs).

The real corpora are compressed with --verify at each level, which shows each page in the browser
itself, with pages planted beside theirs that look different once compressed (verify_run.py): --verify must
leave exactly those. A corpus marked --confirm is then looked at here too: each page --verify
wrote must look the same here, and each planted page, compressed without --verify, must look
different here as well.

Chromium is driven through its DevTools protocol over --remote-debugging-pipe: JSON messages,
each ended by a NUL byte, on the browser's file descriptors 3 (in) and 4 (out). That needs no
port, so runs beside each other do not meet, and nothing beyond the standard library.

Usage: render_check.py COMPRESSOR WORK_DIR [--corpus FOLDER [--every N] [--confirm]]...
WORK_DIR is emptied first; afterwards it holds the trees, their compressed copies, and the
screenshots of every page that failed. --every N takes every Nth page of the corpus named before
it (in the order of their paths), all of them by default. Exit status 0 when every page looked the
same, 1 when one did not, 2 when the check itself could not run.
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

import verify_run

VIEWPORT = {"width": 1024, "height": 768, "deviceScaleFactor": 1, "mobile": False}
ANSWER_SECONDS = 30
CHROMIUM = "/usr/bin/chromium"  # Debian's, whatever else is on PATH
# The tallest stretch of a page taken in one screenshot: taller ones go beyond what the browser
# paints at once.
TILE_HEIGHT = 4096
# A page that is still this busy after its load event settles first.
SETTLE_SECONDS = 0.1
# How long --verify may take over one page of a real corpus, on a machine that others share.
VERIFY_SECONDS = 300

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
    # What a browser shows from other sources than an element's name or its own style.
    ("style_element_rules", "utf-8", "Rules of a style element", """\
  <style>
    .poem { white-space: pre }
    [data-code] { white-space: pre-wrap }
    td.src { white-space: break-spaces }
  </style>
  <h1>white-space set by a style element</h1>
  <div class="poem">
    Roses are red,
        violets are blue,\x20\x20
  </div>
  <p data-code="1">  indented under pre-wrap
      and the next line   </p>
  <table>
    <tr><td class="src">  a cell
        kept as written  </td><td>  another cell
        collapsed  </td></tr>
  </table>
"""),
    ("linked_style_sheet", "utf-8", "A linked style sheet", """\
  <link rel="stylesheet" href="site.css">
  <h1>white-space set by a linked sheet and the sheet it imports</h1>
  <p class="wrapped">
    pre-wrap from site.css
        keeps these spaces\x20\x20
  </p>
  <p class="broken">  break-spaces from more.css
     keeps these\x20\x20\x20
  </p>
"""),
    ("style_attribute_written_around", "utf-8", "Style attributes written around", """\
  <h1>white-space in a style attribute, written with a character reference and an escape</h1>
  <div style="white&#45;space: pre">
    a character reference
        keeps these
  </div>
  <div style="\\77 hite-space: pre-wrap">
    a CSS escape
        keeps these\x20\x20
  </div>
"""),
    ("attribute_values", "utf-8", "Attribute values", """\
  <h1>Attribute values that span lines</h1>
  <p title="a tooltip
      over two lines">hover here</p>
  <img alt="an image\x20\x20
     described on two lines" src="no-such-image.png">
  <form>
    <textarea rows="4" cols="40" placeholder="first line
      second line, indented
        third line"></textarea>
    <input size="40" value="a value
       with a line end">
  </form>
"""),
    ("svg_text", "utf-8", "SVG text", """\
  <h1>SVG text that keeps its spaces</h1>
  <svg width="600" height="120">
    <style>.kept { font-family: monospace; white-space: pre }</style>
    <text x="10" y="30" xml:space="preserve">  two spaces,
      then more   </text>
    <text x="10" y="70" class="kept">    styled  text
      in SVG   </text>
  </svg>
"""),
    ("script_writes_pre", "utf-8", "A script writes a pre", """\
  <h1>A template literal holding a pre</h1>
  <div id="out"></div>
  <script>
    document.getElementById("out").innerHTML = `<pre>
  indented by the template
      deeper still\x20\x20
</pre>`;
  </script>
"""),
    ("script_text_content", "utf-8", "Text from a script", """\
  <h1>textContent set from a template literal and a continued string</h1>
  <pre id="a"></pre>
  <pre id="b"></pre>
  <script>
    document.getElementById("a").textContent = `first line
      second line, indented
    third ${ 1 + 1 }`;
    document.getElementById("b").textContent = "one  \\
       two, behind a backslash";
    // A ` in a comment and in a regular expression: /`/
    var r = /`/g, d = 10 / 2 / 5;
  </script>
"""),
    ("script_of_markup", "utf-8", "A template in a script element", """\
  <h1>Markup in a text/template script</h1>
  <div id="target"></div>
  <script type="text/template" id="template">
    <pre>
      from the template
          kept\x20\x20
    </pre>
  </script>
  <script>
    document.getElementById("target").innerHTML =
        document.getElementById("template").textContent;
  </script>
"""),
    ("stray_end_tag_in_table", "utf-8", "Where a styled element ends", """\
  <h1>A stray end tag inside a table inside a styled div</h1>
  <div style="white-space: pre">
    <table><tr><td></div>  inside the cell
        still in the styled div</td></tr></table>
    behind the table, still styled\x20\x20
  </div>
  <p>
    back to ordinary text
  </p>
"""),
    ("gbk_script", "gbk", "GBK 页面的脚本", """\
  <h1>GBK：字符的第二个字节是 \\ 的字节</h1>
  <pre id="out"></pre>
  <script>
    var word = "乗昞";
    document.getElementById("out").textContent = `${word}
        缩进的第二行
      第三行\x20\x20`;
  </script>
"""),
    ("big5_script", "big5", "Big5 頁面的腳本", """\
  <h1>Big5：字元的第二個位元組是 ` 的位元組</h1>
  <pre id="out"></pre>
  <script>
    var 亡 = "死亡";
    document.getElementById("out").textContent = `${亡}
        縮排的第二行`;
  </script>
"""),
    ("shift_jis_script", "shift_jis", "Shift_JIS のスクリプト", """\
  <h1>Shift_JIS：表 の二番目のバイトは \\ のバイト</h1>
  <pre id="out"></pre>
  <script>
    var word = "表";
    document.getElementById("out").textContent = `${word}
        字下げした二行目`;
  </script>
"""),
]


# Pages indented with tabs, as many editors write them: the deep level compresses them, the
# standard one leaves them as they are.
TAB_PAGES = [
    ("tabs_chinese", "utf-8", "用制表符缩进的页面", """\
\t<h1>用制表符缩进的页面</h1>
\t<div class="content">
\t\t<p>
\t\t\t这一段用制表符缩进，
\t\t\t换行以后接着写。\t

\t\t</p>
\t\t<ul>
\t\t\t<li>第一项</li>
\t\t\t<li>第二项 <b>加粗</b>\x20\t
\t\t\t\t<i>斜体</i>\u3000全角空格</li>
\t\t</ul>
\t\t\x20\t
\t\t<pre>
\t缩进一个制表符
\t\t两个制表符：代码\t

\t空行以后\x20
\t\t</pre>
\t\t<p style="white-space: pre-line">
\t\t\tpre-line 保留换行，

\t\t\t也保留空行
\t\t</p>
\t\t<p class="note" title="跨行的
\t\t\t提示">\t带提示的段落</p>
\t</div>
"""),
    ("tabs_gbk", "gbk", "GBK 制表符缩进", """\
\t<h1>GBK 编码、用制表符缩进</h1>
\t<table>
\t\t<tr>
\t\t\t<td>\t单元格\t</td>
\t\t\t<td>
\t\t\t\t第二格
\t\t\t</td>
\t\t</tr>
\t</table>

\t<textarea rows="4" cols="30">
\t文本框里的制表符
\t\t保留

\t</textarea>
\t<script>
\t\tvar 说明 = `模板字符串
\t\t\t保留制表符

\t\t和空行`;
\t\tdocument.write("<pre>" + 说明 + "</pre>");
\t</script>
"""),
    # Text that the page's scripts read as written, shown by a script: a presentation's Markdown
    # slide, Markdown, Python and YAML in scripts of their types, custom elements.
    ("text_read_as_written", "utf-8", "Text read as written", """\
\t<h1>Text that the page's scripts read as written</h1>
\t<section data-markdown>
\t\t<script type="text/template">
\t\t\t## A slide
\t\t\t\t    indented code in the slide

\t\t</script>
\t</section>
\t<script type="text/markdown">
    # Markdown
        a code block\x20\x20
\t\ttabbed
\t</script>
\t<script type="text/python">
def f():
\treturn 1

  </script>
\t<script type="text/yaml">
  list:
\t- item
  </script>
\t<md-block>
    # A custom element
\t    whose text its script shows\x20

\t</md-block>
\t<py-script>
for i in range(3):
    print(i)
\t</py-script>
\t<pre id="out"></pre>
\t<script>
\t\tfor (const name of ["md-block", "py-script"]) {
\t\t\tcustomElements.define(name, class extends HTMLElement {
\t\t\t\tconnectedCallback() {
\t\t\t\t\tconst pre = document.createElement("pre");
\t\t\t\t\tpre.textContent = JSON.stringify(this.textContent);
\t\t\t\t\tthis.replaceChildren(pre);
\t\t\t\t}
\t\t\t});
\t\t}
\t\tdocument.getElementById("out").textContent = Array.from(
\t\t\tdocument.querySelectorAll("script[type]"), s => JSON.stringify(s.textContent)).join("\\n");
\t</script>
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

# Pages that end inside an element that keeps its spaces, without a line end: they end as they
# did.
NO_LINE_END_PAGES = [
    ("unclosed_pre_no_line_end", "utf-8", "Unclosed pre, no line end", """\
  <h1>A pre that the page ends in</h1>
  <pre>
    first
\tsecond\x20\x20"""),
    ("unclosed_textarea_no_line_end", "utf-8", "Unclosed textarea, no line end", """\
  <h1>A text area that the page ends in</h1>
  <textarea rows="4" cols="30">
    first
\tlast"""),
    ("plaintext_no_line_end", "utf-8", "plaintext, no line end", """\
  <h1>plaintext without a line end at the end</h1>
  <plaintext>
    in plaintext
\tlast"""),
    ("unclosed_listing_no_line_end", "utf-8", "Unclosed listing, no line end", """\
  <h1>A listing that the page ends in</h1>
  <listing>
    in a listing\x20"""),
]

# Every page of our own.
OWN_PAGES = PAGES + TAB_PAGES + OPEN_ENDED_PAGES + NO_LINE_END_PAGES

# The levels of the trim: the folder each tree is compressed into, and the options that ask for
# the level.
LEVELS = [("compressed", []), ("compressed-deep", ["--deep"])]

# The files beside our own pages that some of them link.
FILES = {
    "site.css": '@import url("more.css");\n.wrapped { white-space: pre-wrap }\n',
    "more.css": ".broken { white-space: break-spaces }\n",
}

LINE_ENDS = [("lf", "\n"), ("crlf", "\r\n")]

# The attributes whose values a person sees, as tooltips, in place of images, in form fields.
SEEN_ATTRIBUTES = ["title", "alt", "placeholder", "value"]

Render = collections.namedtuple("Render", "text attributes encoding tiles")

# The page extensions zerediz-compress looks for in a folder.
PAGE_EXTENSIONS = (".htm", ".html", ".xhtml", ".shtml")


class CheckError(Exception):
    """The check could not run: no browser, a failed compression, a page that did not load."""


def write_pages(folder):
    """Writes our pages in every line end, and the files they link; returns the pages' names."""
    pages = []
    for group, tail in ((PAGES + TAB_PAGES, TAIL), (OPEN_ENDED_PAGES + NO_LINE_END_PAGES, "")):
        for name, charset, title, body in group:
            text = HEAD.format(charset=charset, title=title) + body + tail
            for suffix, line_end in LINE_ENDS:
                file_name = f"{name}.{suffix}.html"
                with open(os.path.join(folder, file_name), "wb") as page:
                    page.write(text.replace("\n", line_end).encode(charset))
                pages.append(file_name)
    for name, text in FILES.items():
        with open(os.path.join(folder, name), "w", encoding="utf-8") as sheet:
            sheet.write(text)
    return pages


def pages_of(folder):
    """The pages below folder, by their paths relative to it, in order."""
    found = []
    for root, _, files in os.walk(folder):
        for name in files:
            if name.lower().endswith(PAGE_EXTENSIONS):
                found.append(os.path.relpath(os.path.join(root, name), folder))
    return sorted(found)


def compress_in_place(compressor, folder, options):
    try:
        run = subprocess.run([compressor, "-q", *options, folder], capture_output=True, text=True)
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
        self.scripts = None

        try:
            target = self.call("Target.createTarget", {"url": "about:blank"})["targetId"]
            self.session = self.call("Target.attachToTarget",
                                     {"targetId": target, "flatten": True})["sessionId"]
            self.call("Page.enable")
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

    def allow_scripts(self, allowed):
        if self.scripts != allowed:
            self.call("Emulation.setScriptExecutionDisabled", {"value": not allowed})
            self.scripts = allowed

    def render(self, path):
        """Loads a page and takes its rendered text, the attributes seen, its encoding and its
        full-page screenshot as PNG tiles."""
        self.events = [m for m in self.events if m.get("method") != "Page.loadEventFired"]
        navigation = self.call("Page.navigate", {"url": "file://" + os.path.abspath(path)})
        if "errorText" in navigation:
            raise CheckError(f"{path} did not load: {navigation['errorText']}")
        self.wait_for_event("Page.loadEventFired")
        if self.scripts:
            # What the page's scripts do right after the load, such as moving a sidebar into
            # place, is done before it is looked at.
            time.sleep(SETTLE_SECONDS)
        # The values of text areas and inputs, which innerText leaves out.
        text = self.evaluate(
            "[document.documentElement.innerText,"
            " ...Array.from(document.querySelectorAll('textarea, input'), (t, i) =>"
            " `[${t.tagName} ${i + 1}]\\n${t.value}`)].join('\\n')")
        attributes = self.evaluate(
            "JSON.stringify(Array.from(document.querySelectorAll('" +
            ",".join(f"[{name}]" for name in SEEN_ATTRIBUTES) + "'), e => [e.tagName, " +
            "[" + ",".join(f"e.getAttribute('{name}')" for name in SEEN_ATTRIBUTES) + "]]))")
        encoding = self.evaluate("document.characterSet")
        size = self.call("Page.getLayoutMetrics")["cssContentSize"]
        width = max(size["width"], VIEWPORT["width"])
        height = max(size["height"], VIEWPORT["height"])
        tiles = []
        for top in range(0, int(height + 0.999), TILE_HEIGHT):
            clip = {"x": 0, "y": top, "width": width,
                    "height": min(TILE_HEIGHT, height - top), "scale": 1}
            shot = self.call("Page.captureScreenshot",
                             {"format": "png", "clip": clip, "captureBeyondViewport": True})
            tiles.append(base64.b64decode(shot["data"]))
        return Render(text, attributes, encoding, tiles)


def first_text_difference(what, before, after):
    before_lines, after_lines = before.split("\n"), after.split("\n")
    for number, (old, new) in enumerate(zip(before_lines, after_lines), start=1):
        if old != new:
            return f"{what} line {number}: {old!r} became {new!r}"
    number = min(len(before_lines), len(after_lines)) + 1
    if len(before_lines) > len(after_lines):
        return f"{what} line {number}: {before_lines[number - 1]!r} is gone"
    return f"{what} line {number}: {after_lines[number - 1]!r} was added"


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
        return first_text_difference("text", before.text, after.text)
    if before.attributes != after.attributes:
        return first_text_difference("attributes", before.attributes.replace("],", "],\n"),
                                     after.attributes.replace("],", "],\n"))
    if len(before.tiles) != len(after.tiles):
        return f"the page is {len(after.tiles)} screenshots tall, was {len(before.tiles)}"
    for index, (old, new) in enumerate(zip(before.tiles, after.tiles)):
        if old == new:
            continue
        stem = f"{picture_stem}.{index}"
        for png, ending in ((old, ".before.png"), (new, ".after.png")):
            with open(stem + ending, "wb") as picture:
                picture.write(png)
        if png_size(old) != png_size(new):
            return "screenshot {} is {}x{}, was {}x{}".format(index, *png_size(new),
                                                               *png_size(old))
        where = picture_difference(stem + ".before.png", stem + ".after.png")
        return f"screenshot {index} differs in {where}"
    return None


def check_page(browser, tree, compressed, name, shots, charset=None, must_shrink=False):
    """Prints the page's lines, one for scripts off and one for on; returns how many of the two
    rendered the same after compression into the folder compressed."""
    before_path = os.path.join(tree, "pages", name)
    after_path = os.path.join(tree, compressed, name)
    sizes = f"{os.path.getsize(before_path)} -> {os.path.getsize(after_path)} bytes"
    passed = 0
    for scripts in (False, True):
        label = f"{os.path.basename(tree)}/{compressed}/{name}, scripts {'on' if scripts else 'off'}"
        browser.allow_scripts(scripts)
        before, after = browser.render(before_path), browser.render(after_path)
        # A page that failed to load, or was read in another encoding, would compare as nothing.
        if (charset and before.encoding.lower() != charset) or not before.text.strip():
            raise CheckError(f"{label} rendered as {before.encoding} "
                             f"with text {before.text[:40]!r}")
        stem = os.path.join(shots, f"{os.path.basename(tree)}-{compressed}-"
                                   f"{name.replace(os.sep, '-')}-scripts-{'on' if scripts else 'off'}")
        difference = first_difference(before, after, stem)
        if difference is None and must_shrink and \
                os.path.getsize(after_path) >= os.path.getsize(before_path):
            difference = "lost none of its indentation"
        if difference is None:
            print(f"ok    {label} ({sizes})", flush=True)
            passed += 1
        else:
            print(f"FAIL  {label} ({sizes}): {difference}", flush=True)
    return passed


def check_planted(browser, compressor, tree, name, shots):
    """Prints the line of a planted page compressed without --verify, shown with scripts on;
    returns whether it looked different, as it must."""
    before_path = os.path.join(tree, "pages", name)
    after_path = os.path.join(tree, "plain", name)
    os.makedirs(os.path.dirname(after_path), exist_ok=True)
    try:
        run = subprocess.run([compressor, "-q", "-o", after_path, before_path],
                             capture_output=True, text=True)
    except OSError as error:
        raise CheckError(f"cannot compress {before_path}: {error.strerror}") from error
    if run.returncode != 0:
        raise CheckError(f"compressing {before_path} failed: {run.stderr.strip()}")
    browser.allow_scripts(True)
    stem = os.path.join(shots, f"{os.path.basename(tree)}-{name}-planted")
    difference = first_difference(browser.render(before_path), browser.render(after_path), stem)
    label = f"{os.path.basename(tree)}/{name}, planted, compressed without --verify"
    if difference is None:
        print(f"FAIL  {label}: looks the same here", flush=True)
    else:
        print(f"ok    {label}: {difference}", flush=True)
    return difference is not None


def verify_corpus(compressor, tree, compressed, options, names):
    """Compresses the pages names of tree's copy compressed with --verify and options; returns
    how many were judged as they must be."""
    status, left, others = verify_run.verify_in_place(
        compressor, os.path.join(tree, compressed), names, VERIFY_SECONDS, options)
    if status not in (0, 1):
        raise CheckError(f"{compressor} --verify failed with status {status}: {' '.join(others)}")
    return verify_run.judge(f"{os.path.basename(tree)}/{compressed}", names, left, others)


def parse_arguments(arguments):
    """The compressor, the work folder, and each corpus with how many of its pages to skip."""
    if len(arguments) < 2:
        return None
    compressor, work, rest = arguments[0], arguments[1], arguments[2:]
    corpora = []
    while rest:
        if rest[0] == "--corpus" and len(rest) >= 2:
            corpora.append([rest[1], 1, False])
            rest = rest[2:]
        elif rest[0] == "--confirm" and corpora:
            corpora[-1][2] = True
            rest = rest[1:]
        elif rest[0] == "--every" and len(rest) >= 2 and corpora and rest[1].isdigit() \
                and int(rest[1]) > 0:
            corpora[-1][1] = int(rest[1])
            rest = rest[2:]
        else:
            return None
    return compressor, work, corpora


def main(arguments):
    parsed = parse_arguments(arguments)
    if parsed is None:
        print("usage: render_check.py COMPRESSOR WORK_DIR "
              "[--corpus FOLDER [--every N] [--confirm]]...", file=sys.stderr)
        return 2
    compressor, work, corpora = parsed
    shutil.rmtree(work, ignore_errors=True)
    shots = os.path.join(work, "failed")
    os.makedirs(shots)
    checks = 0
    passed = 0
    try:
        # Each tree and its compressed copy side by side, so that both find what they link.
        ours = os.path.join(work, "ours")
        os.makedirs(os.path.join(ours, "pages"))
        own_pages = write_pages(os.path.join(ours, "pages"))
        own = (ours, own_pages, True, False)
        trees = []
        for index, (corpus, every, confirm) in enumerate(corpora):
            if not os.path.isdir(corpus):
                raise CheckError(f"{corpus} is no folder")
            tree = os.path.join(work, f"corpus{index + 1}-{os.path.basename(corpus.rstrip('/'))}")
            shutil.copytree(corpus, os.path.join(tree, "pages"), symlinks=False)
            sample = pages_of(os.path.join(tree, "pages"))[::every]
            trees.append((tree, sample + verify_run.plant(os.path.join(tree, "pages")), False,
                          confirm))
        for compressed, options in LEVELS:
            for tree, _, _, _ in [own] + trees:
                shutil.copytree(os.path.join(tree, "pages"), os.path.join(tree, compressed))
            compress_in_place(compressor, os.path.join(ours, compressed), options)
            for tree, pages, _, _ in trees:
                checks += len(pages)
                passed += verify_corpus(compressor, tree, compressed, options, pages)
        planted = {name for name, _, _ in verify_run.PLANTED}
        browser = Browser(CHROMIUM)
        try:
            for tree, pages, mine, confirm in [own] + trees:
                if not mine and not confirm:
                    continue
                for name in pages:
                    if name in planted:
                        checks += 1
                        passed += check_planted(browser, compressor, tree, name, shots)
                        continue
                    charset = None
                    stem = name.split(".")[0]
                    if mine:
                        charset = next(c for n, c, _, _ in OWN_PAGES if n == stem)
                    for compressed, options in LEVELS:
                        # Pages indented with tabs shrink only at the deep level.
                        shrinks = mine and (options or all(n != stem for n, _, _, _ in TAB_PAGES))
                        checks += 2
                        passed += check_page(browser, tree, compressed, name, shots, charset,
                                             must_shrink=shrinks)
        finally:
            browser.close()
    except CheckError as error:
        print(f"render check could not run: {error}", file=sys.stderr)
        return 2
    print(f"{passed} passed, {checks - passed} failed")
    return 1 if passed < checks else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
