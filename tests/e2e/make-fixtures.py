#!/usr/bin/env python3
"""Packages for the whole-program scenarios, made from the sample package:
  no-updater.zip      the sample without its Update folder
  incompressible.zip  4 MiB that do not compress, for a drive too small
  many-files.zip      the sample plus 20,000 small files, slow to unpack
  updater-exit-3.zip  the sample whose updater exits with 3
  updater-delay.zip   the sample whose updater takes five seconds
  broken-manifest.xml  a manifest that is not XML
  invalid-manifest.xml a manifest whose version fails validation
Usage: make-fixtures.py OUTPUT_FOLDER SAMPLE_PACKAGE
"""
import os
import random
import sys
import zipfile


def copy_entries(source, target, keep=lambda name: True):
    for info in source.infolist():
        if keep(info.filename):
            data = source.read(info)
            # A fresh header: writing one updates its offsets.
            copy = zipfile.ZipInfo(info.filename, info.date_time)
            copy.external_attr = info.external_attr
            target.writestr(copy, data, compress_type=info.compress_type)


def main(output, sample):
    os.makedirs(output, exist_ok=True)
    with zipfile.ZipFile(sample) as source:
        with zipfile.ZipFile(os.path.join(output, "no-updater.zip"), "w") as target:
            copy_entries(source, target, lambda name: not name.startswith("Update/"))
        # The installer starts the updater with the system's environment:
        # what the updater should do travels in files beside it.
        for name, control, text in (("updater-exit-3.zip", "exit-code.txt", b"3"),
                                    ("updater-delay.zip", "delay-ms.txt", b"5000")):
            with zipfile.ZipFile(os.path.join(output, name), "w") as target:
                copy_entries(source, target)
                target.writestr(zipfile.ZipInfo("Update/" + control, (2024, 1, 1, 0, 0, 0)), text)
        with zipfile.ZipFile(os.path.join(output, "many-files.zip"), "w") as target:
            copy_entries(source, target)
            folder = zipfile.ZipInfo("library/", (2024, 1, 1, 0, 0, 0))
            folder.external_attr = (0o40755 << 16) | 0x10
            target.writestr(folder, b"")
            for index in range(20000):
                info = zipfile.ZipInfo("library/track-%05d.txt" % index, (2024, 1, 1, 0, 0, 0))
                target.writestr(info, b"track %d\r\n" % index, compress_type=zipfile.ZIP_STORED)
    noise = random.Random(9).randbytes(4 * 1024 * 1024)
    with zipfile.ZipFile(os.path.join(output, "incompressible.zip"), "w") as target:
        target.writestr(zipfile.ZipInfo("noise.bin", (2024, 1, 1, 0, 0, 0)), noise, compress_type=zipfile.ZIP_STORED)
    with open(os.path.join(output, "broken-manifest.xml"), "w") as manifest:
        manifest.write("<updates><lastVersion>1.0</lastVersion><downloadUrl>\n")
    with open(os.path.join(output, "invalid-manifest.xml"), "w") as manifest:
        manifest.write('<?xml version="1.0" encoding="utf-8"?>\n<updates><lastVersion>1..2</lastVersion>'
                       "<downloadUrl><x32>http://127.0.0.1:18080/kestrune/packages/x32.zip</x32>"
                       "<x64>http://127.0.0.1:18080/kestrune/packages/x64.zip</x64></downloadUrl>"
                       "<minSize>20MB</minSize></updates>\n")
    with open(os.path.join(output, "fixtures.stamp"), "w") as stamp:
        stamp.write("ok\n")


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])
