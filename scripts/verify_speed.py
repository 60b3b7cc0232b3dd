#!/usr/bin/python3
"""Times zerediz-compress with and without --verify on the real corpora that setup installs.

Each corpus is copied twice into WORK_DIR, as it is (LF) and with every line end of its pages
made CR LF; each run compresses a fresh copy of one of them in place, with -j1 and with -j2. Where
several builds are named, each setting runs every build in turn before the next setting, so that
they meet the same machine; the first build is the one the others are held against. It prints one
line of JSON a run: the build, pages, seconds, pages per second, the exit status, the pages left,
the load of the machine when it ended and, for every build but the first, how many times the
first build's pages per second it made; and writes them all to WORK_DIR/speed.json.

Usage: verify_speed.py [--corpus NAME] [--ending lf|crlf] [--jobs N] [--verify-only] COMPRESSOR...
       WORK_DIR
"""

import argparse
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
    parser = argparse.ArgumentParser(description="Times zerediz-compress on the real corpora.")
    parser.add_argument("--corpus", action="append", choices=[name for name, _ in CORPORA],
                        help="only this corpus (may be given twice)")
    parser.add_argument("--ending", action="append", choices=["lf", "crlf"],
                        help="only these line ends (may be given twice)")
    parser.add_argument("--jobs", action="append", type=int, choices=[1, 2],
                        help="only this -j (may be given twice)")
    parser.add_argument("--verify-only", action="store_true", help="only the runs with --verify")
    parser.add_argument("compressors", nargs="+", metavar="COMPRESSOR")
    parser.add_argument("work", metavar="WORK_DIR")
    options = parser.parse_args(arguments)
    compressors = [os.path.abspath(path) for path in options.compressors]
    work = os.path.abspath(options.work)
    os.makedirs(work, exist_ok=True)
    results = []
    for name, source in CORPORA:
        if options.corpus and name not in options.corpus:
            continue
        for ending in options.ending or ("lf", "crlf"):
            corpus = copy_of(work, name, source, ending)
            for verify in (False, True) if not options.verify_only else (True,):
                for jobs in options.jobs or (1, 2):
                    first = None
                    for compressor in compressors:
                        row = {"build": compressor, "corpus": name, "ending": ending,
                               "verify": verify, "jobs": jobs,
                               **timed_run(compressor, work, corpus, verify, jobs)}
                        if first is None:
                            first = row
                        else:
                            row["times_first"] = round(
                                row["pages_per_second"] / first["pages_per_second"], 2)
                        print(json.dumps(row, ensure_ascii=False), flush=True)
                        results.append(row)
    with open(os.path.join(work, "speed.json"), "w", encoding="utf-8") as file:
        json.dump(results, file, ensure_ascii=False, indent=1)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
