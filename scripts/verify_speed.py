#!/usr/bin/python3
"""Times zerediz-compress with and without --verify on the real corpora that setup installs.

Each corpus is copied twice into WORK_DIR, as it is (LF) and with every line end of its pages
made CR LF; each run compresses a fresh copy of one of them in place, with -j1 and with -j2. It
prints one line of JSON a run: pages, seconds, pages per second, the exit status, the pages left
and the load of the machine when it ended, and writes them all to WORK_DIR/speed.json.

Usage: verify_speed.py COMPRESSOR WORK_DIR
"""

import json
import os
import shutil
import subprocess
import sys
import time

CORPORA = [("debian-reference", "/usr/share/debian-reference"),
           ("python", "/usr/share/doc/python3/html")]
PAGE_EXTENSIONS = (".htm", ".html", ".xhtml", ".shtml")


def pages_below(folder):
    return [os.path.join(root, name) for root, _, names in os.walk(folder)
            for name in names if name.lower().endswith(PAGE_EXTENSIONS)]


def copy_of(work, name, source, ending):
    """The corpus copied once with the line ends asked for, made where it is not yet."""
    folder = os.path.join(work, f"{name}-{ending}")
    if not os.path.isdir(folder):
        shutil.copytree(source, folder + ".part", symlinks=False)
        if ending == "crlf":
            for page in pages_below(folder + ".part"):
                with open(page, "rb") as file:
                    lines = file.read().replace(b"\r\n", b"\n")
                with open(page, "wb") as file:
                    file.write(lines.replace(b"\n", b"\r\n"))
        os.rename(folder + ".part", folder)
    return folder


def timed_run(compressor, work, corpus, verify, jobs):
    run_folder = os.path.join(work, "run")
    shutil.rmtree(run_folder, ignore_errors=True)
    shutil.copytree(corpus, run_folder, symlinks=True)
    command = [compressor, "-q", f"-j{jobs}", *(["--verify"] if verify else []), run_folder]
    start = time.monotonic()
    run = subprocess.run(command, capture_output=True, text=True)
    seconds = time.monotonic() - start
    pages = len(pages_below(corpus))
    return {"pages": pages, "seconds": round(seconds, 2),
            "pages_per_second": round(pages / seconds, 2), "status": run.returncode,
            "left": [line for line in run.stderr.splitlines() if "保持原样" in line],
            "load": round(os.getloadavg()[0], 2)}


def main(arguments):
    if len(arguments) != 2:
        print("usage: verify_speed.py COMPRESSOR WORK_DIR", file=sys.stderr)
        return 2
    compressor, work = os.path.abspath(arguments[0]), os.path.abspath(arguments[1])
    os.makedirs(work, exist_ok=True)
    results = []
    for name, source in CORPORA:
        for ending in ("lf", "crlf"):
            corpus = copy_of(work, name, source, ending)
            for verify in (False, True):
                for jobs in (1, 2):
                    row = {"corpus": name, "ending": ending, "verify": verify, "jobs": jobs,
                           **timed_run(compressor, work, corpus, verify, jobs)}
                    print(json.dumps(row, ensure_ascii=False), flush=True)
                    results.append(row)
    with open(os.path.join(work, "speed.json"), "w", encoding="utf-8") as file:
        json.dump(results, file, ensure_ascii=False, indent=1)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
