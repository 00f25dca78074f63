#!/usr/bin/env python3
"""LibreOffice must open what tarvel-draw repairs.

Makes a drawing with LibreOffice itself (an SVG with shapes, text and an embedded PNG picture,
converted with soffice --headless --convert-to odg), damages copies of it the ways real files
break, repairs them with tarvel-draw, and has LibreOffice convert every repaired copy to PDF:
a copy it cannot load yields no PDF.

    libreoffice_interop.py TARVEL_DRAW

Exit status: 0 pass, 1 fail, 77 skipped (no soffice on this machine). Everything happens in a
private temporary folder, with a private LibreOffice profile, and is removed afterwards.
"""
import base64
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import zipfile
import zlib

SKIP = 77
SOFFICE_TIMEOUT = 300  # seconds; a first start with a fresh profile is slow
REPAIR_TIMEOUT = 120


def png(width, height, seed):
    """A small RGB PNG with a pattern that does not compress to nothing."""
    rows = []
    state = seed
    for y in range(height):
        row = bytearray([0])  # filter type 0
        for x in range(width):
            state = (state * 1103515245 + 12345) & 0x7FFFFFFF
            row += bytes([(x * 5) & 0xFF, (y * 7) & 0xFF, (state >> 16) & 0xFF])
        rows.append(bytes(row))

    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data
                + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))

    header = struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header)
            + chunk(b"IDAT", zlib.compress(b"".join(rows), 9)) + chunk(b"IEND", b""))


def drawing_svg():
    picture = base64.b64encode(png(160, 120, 7)).decode("ascii")
    return f"""<?xml version="1.0" encoding="UTF-8"?>
<svg xmlns="http://www.w3.org/2000/svg" xmlns:xlink="http://www.w3.org/1999/xlink"
     width="800" height="560" viewBox="0 0 800 560">
  <rect x="20" y="20" width="760" height="520" fill="#eef6e8" stroke="#476b2f" stroke-width="4"/>
  <text x="40" y="70" font-family="sans-serif" font-size="32">Interop check drawing</text>
  <circle cx="520" cy="200" r="90" fill="#9ccbe8" stroke="#2c5d7c" stroke-width="3"/>
  <image x="60" y="110" width="320" height="240" xlink:href="data:image/png;base64,{picture}"/>
  <polygon points="80,480 200,380 320,480" fill="#e8d7a8" stroke="#7a6020" stroke-width="2"/>
</svg>
"""


def soffice(work, *args):
    command = ["soffice", f"-env:UserInstallation=file://{work}/profile", "--headless",
               "--norestore", *args]
    return subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                          timeout=SOFFICE_TIMEOUT, text=True, check=False)


def junk(size, seed):
    """Bytes with no 'P' in them, so no ZIP signature can hide in the junk."""
    out = bytearray()
    state = seed
    while len(out) < size:
        state = (state * 1103515245 + 12345) & 0x7FFFFFFF
        byte = (state >> 16) & 0xFF
        if byte != 0x50:
            out.append(byte)
    return bytes(out)


def damaged_copies(drawing):
    """The damaged variants of the drawing, by name."""
    archive = zipfile.ZipFile(drawing)
    data = open(drawing, "rb").read()
    end = data.rfind(b"PK\x05\x06")
    directory_offset = struct.unpack_from("<I", data, end + 16)[0]

    pictures = [info for info in archive.infolist()
                if info.filename.startswith("Pictures/") and info.compress_size > 64]
    if not pictures:
        raise RuntimeError("LibreOffice stored no picture in the drawing")
    picture = pictures[0]
    name_length, extra_length = struct.unpack_from("<HH", data, picture.header_offset + 26)
    start = picture.header_offset + 30 + name_length + extra_length
    zeroed = bytearray(data)
    zeroed[start:start + picture.compress_size] = bytes(picture.compress_size)

    def span(name):
        """Where the entry's local header starts and its compressed data starts and ends."""
        info = archive.getinfo(name)
        name_length, extra_length = struct.unpack_from("<HH", data, info.header_offset + 26)
        first = info.header_offset + 30 + name_length + extra_length
        return info.header_offset, first, first + info.compress_size

    def changed(edits):
        copy = bytearray(data)
        for at, replacement in edits:
            copy[at:at + len(replacement)] = replacement
        return bytes(copy)

    content_header, content_start, content_end = span("content.xml")
    content_middle = (content_start + content_end) // 2
    styles_header, _, styles_end = span("styles.xml")
    manifest_header, _, manifest_end = span("META-INF/manifest.xml")
    wiped = min(200, (content_end - content_start) // 4)
    flipped = bytearray(data)
    flipped[content_middle] ^= 0x08

    return {
        # Offsets and sizes lost or shifted: entries are found by their own headers.
        "no_directory.odg": data[:directory_offset],
        "junk_before.odg": junk(4096, 1) + data,
        "junk_after.odg": data + junk(4096, 2),
        "chunk_cut.odg": data[:len(data) // 2] + data[len(data) // 2 + 2048:],
        # A picture lost: references to it go.
        "picture_zeroed.odg": bytes(zeroed),
        # The manifest or the styles part lost: rebuilt.
        "manifest_lost.odg": changed([(manifest_header, bytes(manifest_end - manifest_header))]),
        "styles_lost.odg": changed([(styles_header, bytes(styles_end - styles_header))]),
        # The content part's header destroyed: found through the central directory.
        "header_overwritten.odg": changed([(content_header, junk(40, 3))]),
        # The content part cut short, wiped midway or one bit flipped: kept up to the damage,
        # picked up after it, or mended.
        "content_cut_short.odg": data[:content_middle],
        "content_wiped.odg": changed([(content_middle - wiped // 2, bytes(wiped))]),
        "content_bit_flipped.odg": bytes(flipped),
        # The content part lost whole: its pictures get a drawing of their own.
        "content_lost.odg": changed([(content_header, bytes(content_end - content_header))]),
    }


def main():
    if len(sys.argv) != 2:
        print(__doc__, file=sys.stderr)
        return 1
    tarvel_draw = sys.argv[1]
    if shutil.which("soffice") is None:
        print("soffice is not installed: skipped")
        return SKIP

    work = tempfile.mkdtemp(prefix="tarvel-interop-")
    try:
        svg = os.path.join(work, "drawing.svg")
        with open(svg, "w", encoding="utf-8") as out:
            out.write(drawing_svg())
        made = soffice(work, "--convert-to", "odg", "--outdir", work, svg)
        drawing = os.path.join(work, "drawing.odg")
        if not os.path.exists(drawing):
            print("LibreOffice could not make the drawing:\n" + made.stdout)
            return 1

        damaged = os.path.join(work, "damaged")
        os.mkdir(damaged)
        inputs = []
        for name, data in damaged_copies(drawing).items():
            path = os.path.join(damaged, name)
            with open(path, "wb") as out:
                out.write(data)
            inputs.append(path)

        repaired = os.path.join(work, "repaired")
        run = subprocess.run([tarvel_draw, "-o", repaired, *inputs], stdout=subprocess.PIPE,
                             stderr=subprocess.STDOUT, timeout=REPAIR_TIMEOUT, text=True,
                             check=False)
        outputs = [os.path.join(repaired, "REC_" + os.path.basename(p)) for p in inputs]
        failures = []
        if run.returncode != 0:
            failures.append(f"tarvel-draw exited with {run.returncode}:\n{run.stdout}")
        for output in outputs:
            if not os.path.exists(output):
                failures.append(f"no repaired copy {os.path.basename(output)}")
                continue
            try:
                bad = zipfile.ZipFile(output).testzip()
                if bad is not None:
                    failures.append(f"{os.path.basename(output)}: bad CRC-32 in {bad}")
            except zipfile.BadZipFile as error:
                failures.append(f"{os.path.basename(output)}: not a ZIP file: {error}")

        shown = os.path.join(repaired, "REC_content_lost.odg")
        if os.path.exists(shown):
            with zipfile.ZipFile(shown) as package:
                if b"Pictures/" not in package.read("content.xml"):
                    failures.append("REC_content_lost.odg: its picture is not shown")

        present = [o for o in outputs if os.path.exists(o)]
        pdfs = os.path.join(work, "pdf")
        converted = soffice(work, "--convert-to", "pdf", "--outdir", pdfs, *present)
        for output in present:
            pdf = os.path.join(pdfs, os.path.splitext(os.path.basename(output))[0] + ".pdf")
            if not os.path.exists(pdf) or not open(pdf, "rb").read(5) == b"%PDF-":
                failures.append(f"LibreOffice could not load {os.path.basename(output)}")
        if failures:
            print("\n".join(failures))
            print("soffice said:\n" + converted.stdout)
            return 1
        print(f"LibreOffice opened all {len(outputs)} repaired drawings")
        return 0
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
