#!/usr/bin/env python3
"""End-to-end repair time and peak memory of tarvel-draw next to Info-ZIP's zip -FF.

Builds drawings of the given sizes (default 20, 80 and 200 MB) laid out as LibreOffice writes
them: mimetype, the XML parts and a Pictures folder of PNG-like noise (stored, as LibreOffice
stores PNG pictures), manifest last. Each drawing then loses its central directory and end
record, the commonest damage (a copy that broke off at the end). Both tools repair the same file
in the same run; each run is timed from start to exit and its peak resident memory taken by GNU
time. The best of --runs runs is reported, after one untimed run that warms the page cache.

    bench/repair_bench.py [--tarvel build/cli/tarvel-draw] [--sizes 20 80 200] [--runs 3]
"""
import argparse
import io
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import time
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))
GNU_TIME = "/usr/bin/time"
PICTURE_COUNT = 8
MIMETYPE = b"application/vnd.oasis.opendocument.graphics"


def png_like(size, seed):
    """A PNG signature and header followed by incompressible bytes, as a photo would be."""
    header = b"\x89PNG\r\n\x1a\n" + struct.pack(">I4sIIBBBBB", 13, b"IHDR", 1024, 768, 8, 2, 0, 0, 0)
    # No record signatures inside the picture: real PNG data rarely holds "PK\x03\x04" either.
    return header + os.urandom(size - len(header)).replace(b"PK", b"PL")


def content_xml(names):
    frames = "".join(
        f'<draw:frame svg:x="{i}cm" svg:y="{i}cm" svg:width="4cm" svg:height="3cm">'
        f'<draw:image xlink:href="{name}" xlink:type="simple" xlink:show="embed" '
        f'xlink:actuate="onLoad"/></draw:frame>' for i, name in enumerate(names))
    return ('<?xml version="1.0" encoding="UTF-8"?>\n'
            '<office:document-content '
            'xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0" '
            'xmlns:draw="urn:oasis:names:tc:opendocument:xmlns:drawing:1.0" '
            'xmlns:svg="urn:oasis:names:tc:opendocument:xmlns:svg-compatible:1.0" '
            'xmlns:xlink="http://www.w3.org/1999/xlink" office:version="1.3">'
            '<office:body><office:drawing><draw:page draw:name="page1">'
            f'{frames}</draw:page></office:drawing></office:body>'
            '</office:document-content>').encode()


def manifest_xml(names):
    entries = "".join(f'<manifest:file-entry manifest:full-path="{name}" '
                      'manifest:media-type="image/png"/>' for name in names)
    return ('<?xml version="1.0" encoding="UTF-8"?>\n'
            '<manifest:manifest xmlns:manifest="urn:oasis:names:tc:opendocument:xmlns:manifest:1.0"'
            ' manifest:version="1.3">'
            '<manifest:file-entry manifest:full-path="/" '
            'manifest:media-type="application/vnd.oasis.opendocument.graphics"/>'
            '<manifest:file-entry manifest:full-path="content.xml" manifest:media-type="text/xml"/>'
            f'{entries}</manifest:manifest>').encode()


def damaged_drawing(path, size_mb):
    """Writes a drawing of about size_mb MB without its central directory."""
    names = [f"Pictures/picture{i}.png" for i in range(PICTURE_COUNT)]
    picture_size = size_mb * 1000 * 1000 // PICTURE_COUNT
    buffer = io.BytesIO()
    with zipfile.ZipFile(buffer, "w") as archive:
        archive.writestr(zipfile.ZipInfo("mimetype"), MIMETYPE, zipfile.ZIP_STORED)
        archive.writestr("content.xml", content_xml(names), zipfile.ZIP_DEFLATED)
        for i, name in enumerate(names):
            archive.writestr(name, png_like(picture_size, i), zipfile.ZIP_STORED)
        archive.writestr("META-INF/manifest.xml", manifest_xml(names), zipfile.ZIP_DEFLATED)
    data = buffer.getvalue()
    end = data.rfind(b"PK\x05\x06")
    directory_offset = struct.unpack_from("<I", data, end + 16)[0]
    with open(path, "wb") as out:
        out.write(data[:directory_offset])


def measured(command, stdin_text=None):
    """Runs command under GNU time; returns (seconds, peak resident KiB, exit status).

    GNU time is a small process, so the peak is the command's own: a child forked straight
    from this script would carry the script's memory into its count.
    """
    with tempfile.NamedTemporaryFile("r", suffix=".time") as report:
        start = time.perf_counter()
        run = subprocess.run([GNU_TIME, "-f", "%M", "-o", report.name, *command],
                             input=(stdin_text or "").encode(), stdout=subprocess.DEVNULL,
                             stderr=subprocess.DEVNULL, check=False)
        seconds = time.perf_counter() - start
        peak = int(report.read().strip().splitlines()[-1])
    return seconds, peak, run.returncode


def best_of(runs, prepare, command, stdin_text=None):
    prepare()
    measured(command, stdin_text)  # warms the page cache
    results = []
    for _ in range(runs):
        prepare()
        results.append(measured(command, stdin_text))
    seconds = min(r[0] for r in results)
    peak = max(r[1] for r in results)
    return seconds, peak, results[-1][2]


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--tarvel", default=os.path.join(HERE, "..", "build", "cli", "tarvel-draw"))
    parser.add_argument("--sizes", type=int, nargs="+", default=[20, 80, 200])
    parser.add_argument("--runs", type=int, default=3)
    args = parser.parse_args()
    if not os.access(args.tarvel, os.X_OK):
        sys.exit(f"no tarvel-draw at {args.tarvel}: build first or pass --tarvel")
    if not os.access(GNU_TIME, os.X_OK):
        sys.exit("GNU time is missing (apt-get install time)")
    if shutil.which("zip") is None:
        sys.exit("Info-ZIP zip is missing (apt-get install zip)")

    work = tempfile.mkdtemp(prefix="tarvel-repair-bench-")
    try:
        print("| drawing | tarvel-draw | zip -FF | time ratio | tarvel-draw peak | zip -FF peak |")
        print("|---|---|---|---|---|---|")
        for size in args.sizes:
            source = os.path.join(work, f"Drawing{size}.odg")
            damaged_drawing(source, size)
            actual_mb = os.path.getsize(source) / 1e6
            out = os.path.join(work, "out")
            fixed = os.path.join(work, "fixed.zip")

            def clear():
                shutil.rmtree(out, ignore_errors=True)
                if os.path.exists(fixed):
                    os.remove(fixed)

            ours = best_of(args.runs, clear, [args.tarvel, "-o", out, source])
            if ours[2] != 0 or not os.path.exists(os.path.join(out, f"REC_Drawing{size}.odg")):
                sys.exit(f"tarvel-draw failed on {source} (exit {ours[2]})")
            # zip -FF asks whether a file without an end record is a single-disk archive.
            theirs = best_of(args.runs, clear, ["zip", "-FF", source, "--out", fixed], "y\n")
            if not os.path.exists(fixed):
                sys.exit(f"zip -FF failed on {source} (exit {theirs[2]})")
            print(f"| {actual_mb:.1f} MB | {ours[0]:.3f} s | {theirs[0]:.3f} s | "
                  f"{ours[0] / theirs[0]:.2f} | {ours[1] / 1024:.1f} MiB | "
                  f"{theirs[1] / 1024:.1f} MiB |")
            clear()
            os.remove(source)
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
