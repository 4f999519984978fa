#!/usr/bin/env python3
"""Writes the archives the extraction tests unpack into OUTPUT_DIR.

Most are written byte by byte here rather than with zipfile, because they
need what zipfile will not produce: names in code page 437 without the UTF-8
flag, invalid UTF-8, unsafe names, a wrong CRC.
  make-fixtures.py OUTPUT_DIR SAMPLE_PACKAGE
"""
import bz2
import os
import struct
import sys
import zipfile
import zlib

UTF8_FLAG = 0x800
STORED, DEFLATED, BZIP2 = 0, 8, 12


def compress(method, data):
    if method == STORED:
        return data
    if method == DEFLATED:
        packer = zlib.compressobj(6, zlib.DEFLATED, -15)
        return packer.compress(data) + packer.flush()
    if method == BZIP2:
        return bz2.compress(data)
    raise ValueError(method)


def write_zip(path, entries):
    """entries: dicts with name (bytes), data, method, flags, and overrides of
    crc, size (the stated length) and packed (the compressed bytes)."""
    body = bytearray()
    central = bytearray()
    for entry in entries:
        name = entry["name"]
        data = entry.get("data", b"")
        method = entry.get("method", STORED)
        flags = entry.get("flags", 0)
        crc = entry.get("crc", zlib.crc32(data))
        packed = entry.get("packed", compress(method, data))
        size = entry.get("size", len(data))
        version = 46 if method == BZIP2 else 20
        offset = len(body)
        body += struct.pack("<IHHHHHIIIHH", 0x04034B50, version, flags, method, 0, 0x5821,
                            crc, len(packed), size, len(name), 0)
        body += name + packed
        central += struct.pack("<IHHHHHHIIIHHHHHII", 0x02014B50, 0x031E, version, flags, method, 0, 0x5821,
                               crc, len(packed), size, len(name), 0, 0, 0, 0,
                               (0o40755 << 16 | 0x10) if name.endswith(b"/") else (0o644 << 16), offset)
        central += name
    end = struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, len(entries), len(entries), len(central), len(body), 0)
    with open(path, "wb") as out:
        out.write(bytes(body) + bytes(central) + end)


def text(size, seed):
    line = b"Kestrune fixture line %d: the quick brown fox jumps over the lazy dog\r\n"
    out = bytearray()
    number = seed
    while len(out) < size:
        out += line % number
        number += 1
    return bytes(out[:size])


def main(output, sample_package):
    os.makedirs(output, exist_ok=True)
    fixture = lambda name: os.path.join(output, name)

    write_zip(fixture("files-without-folders.zip"), [
        {"name": b"readme.txt", "data": text(300, 1)},
        {"name": b"docs/guide/intro.txt", "data": text(500, 2), "method": DEFLATED},
    ])

    # Only the deepest folder is listed; its parents come with it.
    write_zip(fixture("parent-of-listed-folder.zip"), [
        {"name": b"docs/guide/", "data": b""},
        {"name": b"docs/readme.txt", "data": text(300, 1)},
    ])

    # 0x82 and 0x94 are e-acute and o-umlaut in code page 437.
    write_zip(fixture("cp437-name.zip"), [
        {"name": b"caf\x82-s\x94t.txt", "data": b"code page name\r\n"},
        {"name": "utf8-\u00e9t\u00e9.txt".encode("utf-8"), "data": b"utf-8 name\r\n", "flags": UTF8_FLAG},
    ])
    write_zip(fixture("invalid-utf8-name.zip"), [
        {"name": b"bad-\xc3\x28.txt", "data": b"x", "flags": UTF8_FLAG},
    ])

    bzip2_data = text(300000, 3)
    with open(fixture("bzip2-entry.expected"), "wb") as out:
        out.write(bzip2_data)
    write_zip(fixture("bzip2-entry.zip"), [
        {"name": b"payload.bin", "data": bzip2_data, "method": BZIP2},
    ])

    crc_data = text(20000, 4)
    # Entries whose streams disagree with what the archive states of them.
    damaged = text(5000, 9)
    write_zip(fixture("short-deflate.zip"), [
        {"name": b"short.txt", "data": damaged, "method": DEFLATED, "size": len(damaged) + 100},
    ])
    write_zip(fixture("bzip2-cut.zip"), [
        {"name": b"cut.txt", "data": damaged, "method": BZIP2, "packed": bz2.compress(damaged)[:-40]},
    ])
    write_zip(fixture("bzip2-longer.zip"), [
        {"name": b"longer.txt", "data": damaged, "method": BZIP2, "size": 4000, "crc": zlib.crc32(damaged[:4000])},
    ])
    write_zip(fixture("bzip2-wrong-crc.zip"), [
        {"name": b"crc.txt", "data": damaged, "method": BZIP2, "crc": zlib.crc32(damaged) ^ 1},
    ])
    write_zip(fixture("wrong-crc.zip"), [
        {"name": b"damaged.txt", "data": crc_data, "method": DEFLATED, "crc": zlib.crc32(crc_data) ^ 0x5A5A5A5A},
    ])

    # Each archive first unpacks a harmless file, then tries to leave the
    # destination.
    unsafe_names = {
        "parent": b"../escaped.txt",
        "parent-backslash": b"..\\escaped.txt",
        "nested-parent": b"inside/../../escaped.txt",
        "parent-with-space": b".. /escaped.txt",
        "three-dots": b".../escaped.txt",
        "root-slash": b"/escaped.txt",
        "root-backslash": b"\\escaped.txt",
        "drive": b"C:/escaped.txt",
        "drive-relative": b"C:escaped.txt",
        "unc": b"\\\\server\\share\\escaped.txt",
        "stream": b"harmless.txt:stream",
        "parent-folder": b"../escaped/",
        "device": b"media/NUL.txt",
        "trailing-dot": b"media./escaped.txt",
        "control": b"media/bell\x07.txt",
    }
    for label, name in unsafe_names.items():
        write_zip(fixture(f"unsafe-{label}.zip"), [
            {"name": b"harmless.txt", "data": b"harmless\r\n"},
            {"name": b"media/", "data": b""},
            {"name": name, "data": b"" if name.endswith(b"/") else b"escaped\r\n"},
        ])

    write_zip(fixture("long-name.zip"), [
        {"name": b"n" * 146 + b".txt", "data": b"long name\r\n"},
    ])
    write_zip(fixture("very-long-name.zip"), [
        {"name": b"v" * 596 + b".txt", "data": b"too long\r\n"},
    ])

    # Deflated zeros: a tiny archive that unpacks to 12 MiB, in files that
    # several threads write at once.
    write_zip(fixture("twelve-mib.zip"), [{"name": b"filler/", "data": b""}] + [
        {"name": b"filler/zeros-%d.bin" % index, "data": bytes(3 * 1024 * 1024), "method": DEFLATED}
        for index in range(4)
    ])
    write_zip(fixture("large-zeros.zip"), [{"name": b"large/", "data": b""}] + [
        {"name": b"large/zeros-%d.bin" % index, "data": bytes(64 * 1024 * 1024), "method": DEFLATED}
        for index in range(4)
    ])

    # The damaged entry comes last in the archive and is as large as the
    # others, so that it is written while other threads are busy.
    late_data = text(4 * 1024 * 1024, 5)
    write_zip(fixture("late-wrong-crc.zip"), [{"name": b"late/", "data": b""}] + [
        {"name": b"late/good-%d.txt" % index, "data": text(4 * 1024 * 1024, 6 + index), "method": DEFLATED}
        for index in range(6)
    ] + [{"name": b"late/small.txt", "data": b"small\r\n"}] + [
        {"name": b"late/damaged.txt", "data": late_data, "method": DEFLATED, "crc": zlib.crc32(late_data) ^ 1},
    ])

    # Two names for one file on a case-insensitive file system; the later,
    # larger one is what the archive leaves there.
    collision_data = text(4 * 1024 * 1024, 40)
    with open(fixture("case-collision.expected"), "wb") as out:
        out.write(collision_data)
    write_zip(fixture("case-collision.zip"), [
        {"name": b"a.txt", "data": text(1024 * 1024, 30), "method": DEFLATED},
        {"name": b"A.TXT", "data": collision_data, "method": DEFLATED},
    ])

    # Folders and files the extraction must not follow when a link stands
    # in their place (with-links.sh makes the links).
    write_zip(fixture("into-linked-folder.zip"), [
        {"name": b"harmless.txt", "data": b"harmless\r\n"},
        {"name": b"media/", "data": b""},
        {"name": b"media/escaped.txt", "data": b"escaped\r\n"},
    ])
    write_zip(fixture("into-linked-parent.zip"), [
        {"name": b"harmless.txt", "data": b"harmless\r\n"},
        {"name": b"media/escaped.txt", "data": b"escaped\r\n"},
    ])

    # Twenty thousand small files in folders of a hundred, like a large
    # product's tree.
    many = []
    for folder in range(200):
        many.append({"name": b"tree/%03d/" % folder, "data": b""})
        for index in range(100):
            many.append({"name": b"tree/%03d/file-%03d.txt" % (folder, index),
                         "data": text(64 + (folder * 100 + index) % 700, folder * 100 + index),
                         "method": DEFLATED if index % 3 else STORED})
    write_zip(fixture("many-files.zip"), many)
    with open(fixture("many-files.listing"), "w", encoding="utf-8", newline="\n") as listing:
        for entry in many:
            name = entry["name"].decode()
            folder = name.endswith("/")
            listing.write(f"{'D' if folder else 'F'}\t{len(entry['data'])}\t{0 if folder else zlib.crc32(entry['data'])}\t{name}\n")

    write_zip(fixture("empty.zip"), [])

    # The small archive the mutation test damages in every way it knows.
    write_zip(fixture("mutation-base.zip"), [
        {"name": b"readme.txt", "data": text(120, 5)},
        {"name": b"data/", "data": b""},
        {"name": b"data/stored.txt", "data": text(700, 6)},
        {"name": b"data/deflated.txt", "data": text(3000, 7), "method": DEFLATED},
        {"name": b"data/packed.bin", "data": text(2000, 8), "method": BZIP2},
    ])

    # What the sample package holds, read with Python's zipfile: the
    # reference the whole-package test compares against.
    with zipfile.ZipFile(sample_package) as package, \
            open(fixture("sample-package.listing"), "w", encoding="utf-8", newline="\n") as listing:
        for info in package.infolist():
            listing.write(f"{'D' if info.is_dir() else 'F'}\t{info.file_size}\t{zlib.crc32(package.read(info)) if not info.is_dir() else 0}\t{info.filename}\n")
    with open(fixture("fixtures.stamp"), "w") as stamp:
        stamp.write("ok\n")


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])
