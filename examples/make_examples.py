#!/usr/bin/env python3
"""Makes the damaged sample drawings in this folder.

A small drawing is made by LibreOffice from garden_plan.svg (soffice --headless --convert-to
odg); the damaged copies are cut or overwritten from it. Run from this folder; needs soffice.
"""
import os
import shutil
import struct
import subprocess
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))


def make_drawing(work):
    subprocess.run(["soffice", f"-env:UserInstallation=file://{work}/profile", "--headless",
                    "--convert-to", "odg", "--outdir", work,
                    os.path.join(HERE, "garden_plan.svg")],
                   check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=120)
    return open(os.path.join(work, "garden_plan.odg"), "rb").read()


def central_directory_offset(data):
    end = data.rfind(b"PK\x05\x06")
    return struct.unpack_from("<I", data, end + 16)[0]


def main():
    with tempfile.TemporaryDirectory() as work:
        drawing = make_drawing(work)
    samples = {
        # The central directory and end record are gone, as when a copy broke off at the end.
        "GardenPlan_no_directory.odg": drawing[:central_directory_offset(drawing)],
        # Cut to 70 %: the last parts, the manifest among them, are lost.
        "GardenPlan_cut_short.odg": drawing[:len(drawing) * 7 // 10],
        # 4 KiB of junk before the archive, as when another file's start was written over it.
        "GardenPlan_junk_before.odg": bytes((i * 37 + 11) & 0xFF for i in range(4096)) + drawing,
    }
    for name, data in samples.items():
        with open(os.path.join(HERE, name), "wb") as out:
            out.write(data)
        print(name, len(data))


if __name__ == "__main__":
    main()
