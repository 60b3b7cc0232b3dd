#!/usr/bin/python3
"""Bytes before and after zerediz-compress at each level, for folders of pages.

Usage: trim_bytes.py COMPRESSOR FOLDER... [--minifier PATH] [--baseline COMPRESSOR]

For each FOLDER, prints the bytes of its pages (the files zerediz-compress takes from a folder)
before, after the standard level and after --deep, each with its share saved. --minifier names
html-minifier-terser's command, run on every page with only its whitespace collapsing that keeps
one space (collapseWhitespace and conservativeCollapse), for comparison. --baseline names another
build of zerediz-compress: the pages whose standard result differs between the two are listed with
the bytes of each. Nothing in FOLDER is written.
"""

import os
import subprocess
import sys
import tempfile

PAGE_EXTENSIONS = (".htm", ".html", ".xhtml", ".shtml")


def pages_of(folder):
    found = []
    for root, dirs, files in os.walk(folder):
        dirs[:] = [d for d in dirs if not d.startswith(".")]
        found += [os.path.join(root, name) for name in files
                  if name.lower().endswith(PAGE_EXTENSIONS)]
    return sorted(os.path.relpath(path, folder) for path in found)


def compressed(compressor, folder, work, options):
    out = os.path.join(work, "out")
    subprocess.run([compressor, "-q", *options, "--output-dir", out, folder], check=True)
    return out


def total(folder, pages):
    return sum(os.path.getsize(os.path.join(folder, page)) for page in pages)


def minified_total(minifier, folder, pages):
    """The minified bytes, and the pages it refused, which count as they are."""
    size = 0
    refused = 0
    for page in pages:
        path = os.path.join(folder, page)
        run = subprocess.run([minifier, "--collapse-whitespace", "--conservative-collapse", path],
                             capture_output=True)
        if run.returncode == 0:
            size += len(run.stdout)
        else:
            size += os.path.getsize(path)
            refused += 1
    return size, refused


def share(before, after):
    return f"{after} ({100 * (before - after) / before:.1f} % saved)" if before else str(after)


def main(arguments):
    minifier = baseline = None
    folders = []
    while arguments:
        if arguments[0] in ("--minifier", "--baseline") and len(arguments) > 1:
            if arguments[0] == "--minifier":
                minifier = arguments[1]
            else:
                baseline = arguments[1]
            arguments = arguments[2:]
        else:
            folders.append(arguments[0])
            arguments = arguments[1:]
    if len(folders) < 2:
        print(__doc__, file=sys.stderr)
        return 2
    compressor, folders = os.path.abspath(folders[0]), folders[1:]
    for folder in folders:
        pages = pages_of(folder)
        before = total(folder, pages)
        print(f"{folder}: {len(pages)} pages, {before} bytes")
        results = {}
        for label, options in (("standard", []), ("--deep", ["--deep"])):
            with tempfile.TemporaryDirectory() as work:
                out = compressed(compressor, folder, work, options)
                results[label] = {page: open(os.path.join(out, page), "rb").read()
                                  for page in pages}
                print(f"  {label:10} {share(before, total(out, pages))}")
        if minifier:
            size, refused = minified_total(minifier, folder, pages)
            print(f"  {'minifier':10} {share(before, size)}, {refused} pages refused")
        if baseline:
            with tempfile.TemporaryDirectory() as work:
                out = compressed(os.path.abspath(baseline), folder, work, [])
                differ = [(page, os.path.getsize(os.path.join(out, page)),
                           len(results["standard"][page])) for page in pages
                          if open(os.path.join(out, page), "rb").read() !=
                          results["standard"][page]]
            print(f"  standard level against the baseline: {len(differ)} pages differ")
            for page, old, new in differ:
                print(f"    {page}: {old} -> {new} bytes")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
