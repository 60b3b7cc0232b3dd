#!/usr/bin/env python3
"""Packs the icon's PNG drawings into app/icons/zerediz.ico, the icon of the Windows program.

The PNGs are the ones the Linux build draws for the desktop's icon theme (build/app/hicolor/),
so that both systems show the same picture; run it again whenever the drawings change:
    scripts/windows/icon.py build/app/hicolor app/icons/zerediz.ico
Windows reads PNG images inside an .ico of every size since Vista.
"""
import struct
import sys
from pathlib import Path

SIZES = (16, 32, 48, 64, 128, 256)


def main(hicolor: Path, output: Path) -> None:
    images = [(size, (hicolor / f"{size}x{size}" / "apps" / "zerediz.png").read_bytes())
              for size in SIZES]
    header = struct.pack("<HHH", 0, 1, len(images))
    offset = len(header) + 16 * len(images)
    entries, data = b"", b""
    for size, png in images:
        # A width or height of 256 is written as 0.
        entries += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(png),
                               offset + len(data))
        data += png
    output.write_bytes(header + entries + data)


if __name__ == "__main__":
    main(Path(sys.argv[1]), Path(sys.argv[2]))
