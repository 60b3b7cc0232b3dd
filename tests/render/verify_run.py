"""zerediz-compress --verify on a copy of a real corpus, with pages planted in it to look different.

Each planted page's script shows the spaces that the trim takes from it, in a way that no reading
of the page without running it can foresee: as text, in a tooltip, in the width of a box, in a
line a pixel lower, in a colour. --verify
must leave exactly the planted pages, each named with what differs, and write every other page it
is given; the render check then looks at both kinds itself (render_check.py).
"""

import os
import re
import subprocess

# Each planted page: its file name, what --verify must say differs, and the page.
PLANTED = [
    ("zerediz-planted-text.html", "文字不同", """\
<!DOCTYPE html>
<meta charset="utf-8">
<div id="x">
    indented
</div>
<script>
  document.getElementById('x').style['white' + 'Space'] = 'p' + 're';
</script>
"""),
    ("zerediz-planted-attribute.html", "属性不同", """\
<!DOCTYPE html>
<meta charset="utf-8">
<span id="s">
    x</span><img id="i" alt="a">
<script>i.title = s.textContent;</script>
"""),
    ("zerediz-planted-picture.html", "画面不同", """\
<!DOCTYPE html>
<meta charset="utf-8">
<span id="s">
    x</span>
<div id="b" style="background: red; height: 10px"></div>
<script>b.style.width = s.textContent.length * 10 + 'px';</script>
"""),
    ("zerediz-planted-line.html", "画面不同", """\
<!DOCTYPE html>
<meta charset="utf-8">
<span id="s">
    x</span>
<div id="l" style="border-top: 1px solid"></div>
<script>l.style.marginTop = (s.textContent.length > 2 ? 1 : 0) + 'px';</script>
"""),
    ("zerediz-planted-colour.html", "画面不同", """\
<!DOCTYPE html>
<meta charset="utf-8">
<span id="s">
    x</span>
<p id="p">text</p>
<script>p.style.color = s.textContent.length > 2 ? 'rgb(0, 0, 1)' : 'black';</script>
"""),
]

# A line of the report on a page that --verify left: why, the page, what differed.
LEFT_LINE = re.compile(r"^(显示会变|无法检查)，保持原样：(.+?)：(.*)$")


def plant(folder):
    """Writes the planted pages into folder; returns their names."""
    for name, _, text in PLANTED:
        with open(os.path.join(folder, name), "w", encoding="utf-8") as page:
            page.write(text)
    return [name for name, _, _ in PLANTED]


def verify_in_place(compressor, folder, names, seconds, options=()):
    """Runs --verify with options on the pages names of folder, in place; its status, the pages
    it left with the rest of their lines, and every other line it said."""
    run = subprocess.run([os.path.abspath(compressor), "-q", "--verify", "--verify-timeout",
                          str(seconds), *options, *names], cwd=folder, capture_output=True,
                         text=True)
    left = {}
    others = []
    for line in run.stderr.splitlines():
        match = LEFT_LINE.match(line)
        if match:
            left[match.group(2)] = f"{match.group(1)}：{match.group(3)}"
        else:
            others.append(line)
    return run.returncode, left, others


def judge(label, names, left, others):
    """Prints a line for each page given to --verify, and for each other line it said, which is
    a failure (of a file, say); returns how many of the pages were judged as they must be: the
    planted ones left for what they were planted with, every other one written."""
    for line in others:
        print(f"FAIL  {label}, --verify said: {line}", flush=True)
    wanted = {name: difference for name, difference, _ in PLANTED}
    passed = 0
    for name in names:
        said = left.get(name)
        if name in wanted:
            good = said is not None and said.startswith("显示会变：" + wanted[name])
            verdict = f"left: {said}" if said else "written, though planted to differ"
        else:
            good = said is None
            verdict = "written" if good else f"left: {said}"
        print(f"{'ok   ' if good else 'FAIL '} {label}/{name}, --verify: {verdict}", flush=True)
        passed += good
    return passed - len(others)
