#!/usr/bin/env python3
"""make-seeds.py OUTDIR: writes each fuzz target's seed corpus under
OUTDIR/<target>/, made from the test fixtures and tables of the repository
(the reference server's manifest, the entry name test's names, the
pictures) so that no binary seed is kept in the repository."""

import gzip
import hashlib
import io
import os
import re
import struct
import sys
import zipfile
import zlib

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
sys.path.insert(0, os.path.join(ROOT, "tools"))
from installation_contract import MANIFEST_TEMPLATE  # noqa: E402

BASE = "http://127.0.0.1:18080"


def write(outdir, target, name, data):
    folder = os.path.join(outdir, target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as seed:
        seed.write(data)


def manifests():
    digest = hashlib.sha256(b"package").hexdigest()
    full = MANIFEST_TEMPLATE.format(version="1.0.5.0", x32=BASE + "/kestrune/packages/x32.zip",
                                    x64=BASE + "/kestrune/packages/x64.zip", min_size="20MB",
                                    x32_hash=f' sha256="{digest}"', x64_hash=f' sha256="{digest.upper()}"')
    plain = MANIFEST_TEMPLATE.format(version="5.2", x32="https://downloads.example.com/a.zip",
                                     x64="https://downloads.example.com:8443/b.zip?x=1#f", min_size="4gb",
                                     x32_hash="", x64_hash="")
    return {
        "full.xml": full.encode(),
        "plain.xml": plain.encode(),
        "utf16.xml": "\ufeff".encode("utf-16-le") + plain.replace("utf-8", "utf-16").encode("utf-16-le"),
        "broken.xml": b"<updates><lastVersion>1.0</lastVersion><downloadUrl>\n",
        "reference-server.xml": b"<updates/>",
    }


def c_literals(path):
    """The wide string literals of a test source, with their escapes."""
    with open(path, encoding="utf-8") as source:
        text = source.read()
    for literal in re.findall(r'L"((?:[^"\\]|\\.)*)"', text):
        # The sources are ASCII: every other character is written as an escape.
        yield literal.encode("ascii").decode("unicode_escape")


def xtea_encipher(plain, key):
    padding = (8 - len(plain) % 8) % 8
    data = bytearray(plain + b"\0" * padding)
    words = struct.unpack("<4I", key)
    for offset in range(0, len(data), 8):
        v0, v1 = struct.unpack_from("<2I", data, offset)
        total = 0
        for _ in range(64):
            v0 = (v0 + ((((v1 << 4) ^ (v1 >> 5)) + v1) ^ (total + words[total & 3]))) & 0xFFFFFFFF
            total = (total + 0x9E3779B9) & 0xFFFFFFFF
            v1 = (v1 + ((((v0 << 4) ^ (v0 >> 5)) + v0) ^ (total + words[(total >> 11) & 3]))) & 0xFFFFFFFF
        struct.pack_into("<2I", data, offset, v0, v1)
    return bytes(data) + bytes([padding])


def field(text, units):
    """A UTF-16 text field of the hand-off mapping, zero-filled."""
    data = text.encode("utf-16-le")
    return data + bytes(2 * units - len(data))


def header(length, key):
    filler = bytes(range(0xA0, 0xB0))
    return struct.pack(">I", length) + bytes(b for pair in zip(filler, key) for b in pair)


def main(outdir):
    key = bytes.fromhex("5B1E93C07A2DF4681C0E57B9A3D2F06E")
    for name, body in manifests().items():
        write(outdir, "fuzz_manifest", name, body)
        write(outdir, "fuzz_gzip", name + ".gz", gzip.compress(body, mtime=0))
        write(outdir, "fuzz_gzip", name + ".zlib", zlib.compress(body))
        text = body.decode("utf-8", "replace").encode("utf-8")
        record = xtea_encipher(text, key)
        write(outdir, "fuzz_records", "string-" + name, b"\0" + header(len(record), key) + record)
    # Past the cap: 5 MiB of zeros in a few kilobytes.
    write(outdir, "fuzz_gzip", "beyond-cap.gz", gzip.compress(bytes(5 * 1024 * 1024), mtime=0))
    write(outdir, "fuzz_gzip", "truncated.gz", gzip.compress(b"truncated body", mtime=0)[:-6])

    payload = b""
    for picture_id, picture in ((101, b"\x89PNG\r\n\x1a\n" + b"\0" * 24), (105, b"short")):
        enciphered = xtea_encipher(picture, key)
        payload += struct.pack(">HI", picture_id, len(enciphered)) + enciphered
    for wanted in (101, 105, 102):
        write(outdir, "fuzz_records", f"pictures-{wanted}", b"\1" + struct.pack(">H", wanted) + header(len(payload), key)
              + payload)

    names = list(c_literals(os.path.join(ROOT, "tests", "package", "entryNameTest.cpp")))
    for index, name in enumerate(names):
        write(outdir, "fuzz_entry_name", f"utf8-{index}", b"\0" + name.encode("utf-8"))
        write(outdir, "fuzz_entry_name", f"utf16-{index}", b"\2" + name.encode("utf-16-le"))

    digest = "00112233445566778899aabbccddeeffFFEEDDCCBBAA99887766554433221100"
    for index, pins in enumerate(["localhost=" + digest,
                                  "downloads.example.com=" + digest + ";cdn-1.example.com=" + "0" * 64,
                                  ";".join(f"host{i}={digest}" for i in range(17)),
                                  "localhost=" + digest[:-1] + "g"]):
        write(outdir, "fuzz_certificate_pins", f"pins-{index}", pins.encode("utf-16-le"))

    for index, (path, flags, pac, proxy, bypass) in enumerate([
            ("C:\\Program Files\\Kestrune Software", b"\0\1", "http://wpad.corp/proxy.pac",
             "http=squid.corp:3128;https=squid.corp:3129", "<local>;*.corp"),
            ("D:\\" + "k" * 256, b"\1\1", "", "127.0.0.1:18081", "localhost, *.example.com"),
            ("C:\\Kestrune", b"\1\0", "", "", "")]):
        record = field(path, 260) + flags + bytes(2) + struct.pack("<4i", -10, 20, 757, 464)
        proxy_part = bytes([1 if pac else 0]) + bytes(3) + field(pac, 2049) + field(proxy, 1025) + field(bypass, 4097)
        mapping = record + proxy_part
        write(outdir, "fuzz_handoff", f"mapping-{index}", mapping + bytes(-len(mapping) % 4))

    for index, line in enumerate([
            '/VERYSILENT /SUPPRESSMSGBOXES /NORESTART /LOG="C:\\Windows\\Temp\\kestrune-install.log"',
            '/SILENT /DIR="C:\\My Folder" /NODESKTOPSHORTCUT', '"/DIR=C:\\My Folder" /?', '/DIR= /LOG="unbalanced']):
        write(outdir, "fuzz_command_line", f"arguments-{index}", line.encode("utf-16-le"))

    archive = io.BytesIO()
    with zipfile.ZipFile(archive, "w") as target:
        target.writestr("Kestrune/", b"")
        target.writestr("Kestrune/readme.txt", b"readme\r\n" * 8, compress_type=zipfile.ZIP_DEFLATED)
        target.writestr("Kestrune/stored.bin", bytes(range(64)), compress_type=zipfile.ZIP_STORED)
        target.writestr("Update/", b"")
        target.writestr("Update/KestruneUpdater.exe", b"MZ" + bytes(62), compress_type=zipfile.ZIP_BZIP2)
        info = zipfile.ZipInfo("Kestrune/\u00e9t\u00e9.txt")
        target.writestr(info, b"utf-8 name")
    write(outdir, "fuzz_zip_plan", "package.zip", archive.getvalue())


if __name__ == "__main__":
    main(sys.argv[1])
