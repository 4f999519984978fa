#!/usr/bin/env python3
"""Builds a Kestrune package (zip) and the update manifest that announces it,
and prints the package's SHA-256, the manifest's "sha256" attribute.

Layout of the package (folder entries come before the files inside them):
  Update/KestruneUpdater.exe
  Kestrune/KestruneLauncher.exe
  Kestrune/<version>/Uninstall.exe
  Kestrune/<version>/media/... generated data files, for realistic sizes

Entries are deflated, bzip2-compressed or stored, as a real package mixes
them. Data is generated from a seed, so the same arguments give the same
package.
"""
import argparse
import hashlib
import io
import os
import random
import sys
import zipfile

FIXED_TIME = (2024, 1, 1, 0, 0, 0)
MIB = 1024 * 1024
WORDS = (b"track album artist genre playlist volume tempo chorus verse bridge "
         b"stereo sample rate channel bitrate cover lyrics shuffle repeat queue").split()


def folder_entry(name):
    info = zipfile.ZipInfo(name, FIXED_TIME)
    info.external_attr = (0o40755 << 16) | 0x10
    info.compress_type = zipfile.ZIP_STORED
    return info


def file_entry(name, method):
    info = zipfile.ZipInfo(name, FIXED_TIME)
    info.external_attr = 0o644 << 16
    info.compress_type = method
    return info


def text_like(rng, size):
    out = io.BytesIO()
    while out.tell() < size:
        line = b" ".join(rng.choice(WORDS) for _ in range(12))
        out.write(line + b" %d\r\n" % rng.randrange(1 << 30))
    return out.getvalue()[:size]


def random_bytes(rng, size):
    return rng.randbytes(size)


def payload_files(rng, total_bytes, count, version):
    """(name, method, bytes) of the generated media files, in folders of 25."""
    if count <= 0 or total_bytes <= 0:
        return
    base = f"Kestrune/{version}/media"
    sizes = [rng.uniform(0.2, 1.8) for _ in range(count)]
    scale = total_bytes / sum(sizes)
    for index, weight in enumerate(sizes):
        size = max(1, int(weight * scale))
        folder = f"{base}/set{index // 25:03d}"
        kind = index % 4
        if kind == 0:
            yield folder, f"{folder}/notes{index:05d}.txt", zipfile.ZIP_BZIP2, text_like(rng, size)
        elif kind == 1:
            yield folder, f"{folder}/index{index:05d}.db", zipfile.ZIP_DEFLATED, text_like(rng, size)
        else:
            # Already-compressed media: stored or barely deflatable.
            method = zipfile.ZIP_STORED if kind == 2 else zipfile.ZIP_DEFLATED
            yield folder, f"{folder}/track{index:05d}.ogg", method, random_bytes(rng, size)


def sha256_of(path):
    digest = hashlib.sha256()
    with open(path, "rb") as source:
        for block in iter(lambda: source.read(1 << 20), b""):
            digest.update(block)
    return digest.hexdigest()


def build(args):
    rng = random.Random(args.seed)
    os.makedirs(os.path.dirname(os.path.abspath(args.output)), exist_ok=True)
    uncompressed = 0
    made_folders = set()
    temporary = args.output + ".part"
    with zipfile.ZipFile(temporary, "w", allowZip64=True) as package:
        def add_folder(name):
            parts = name.split("/")
            for depth in range(1, len(parts) + 1):
                folder = "/".join(parts[:depth]) + "/"
                if folder not in made_folders:
                    made_folders.add(folder)
                    package.writestr(folder_entry(folder), b"")

        def add_file(name, method, data):
            nonlocal uncompressed
            package.writestr(file_entry(name, method), data, compresslevel=6 if method == zipfile.ZIP_DEFLATED else None)
            uncompressed += len(data)

        def add_program(name, path, method):
            with open(path, "rb") as program:
                add_file(name, method, program.read())

        add_folder("Update")
        add_program("Update/KestruneUpdater.exe", args.updater, zipfile.ZIP_DEFLATED)
        if args.updater_exit_code is not None:
            add_file("Update/exit-code.txt", zipfile.ZIP_STORED, str(args.updater_exit_code).encode())
        add_folder("Kestrune")
        add_program("Kestrune/KestruneLauncher.exe", args.launcher, zipfile.ZIP_DEFLATED)
        add_folder(f"Kestrune/{args.version}")
        add_program(f"Kestrune/{args.version}/Uninstall.exe", args.uninstaller, zipfile.ZIP_BZIP2)
        for folder, name, method, data in payload_files(rng, int(args.payload_mb * MIB), args.files, args.version):
            add_folder(folder)
            add_file(name, method, data)
    os.replace(temporary, args.output)

    package_size = os.path.getsize(args.output)
    digest = sha256_of(args.output)
    # The package is downloaded into the install folder and unpacked beside
    # itself, so both must fit; a megabyte more for the file system.
    min_size_mb = (package_size + uncompressed + MIB - 1) // MIB + 1
    if args.manifest:
        name = os.path.basename(args.output)
        url64 = args.download_url_x64 or f"http://127.0.0.1:18080/kestrune/{name}"
        url32 = args.download_url_x32 or url64
        # Another 32-bit address names another package, whose hash is not known here.
        hash32 = "" if args.download_url_x32 else f' sha256="{digest}"'
        with open(args.manifest, "w", encoding="utf-8", newline="\n") as manifest:
            manifest.write('<?xml version="1.0" encoding="UTF-8"?>\n'
                           "<updates>\n"
                           f"  <lastVersion>{args.version}</lastVersion>\n"
                           "  <downloadUrl>\n"
                           f"    <x32{hash32}>{url32}</x32>\n"
                           f'    <x64 sha256="{digest}">{url64}</x64>\n'
                           "  </downloadUrl>\n"
                           f"  <minSize>{min_size_mb}MB</minSize>\n"
                           "</updates>\n")
    print(f"make-package: {args.output}: {package_size} bytes, {uncompressed} unpacked, "
          f"lastVersion {args.version}, minSize {min_size_mb}MB, sha256 {digest}")


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--updater", required=True, help="KestruneUpdater.exe to pack")
    parser.add_argument("--launcher", required=True, help="KestruneLauncher.exe to pack")
    parser.add_argument("--uninstaller", required=True, help="Uninstall.exe to pack")
    parser.add_argument("--version", required=True, help="lastVersion, e.g. 1.0.5.0")
    parser.add_argument("--output", required=True, help="zip file to write")
    parser.add_argument("--manifest", help="update manifest (XML) to write beside it")
    parser.add_argument("--payload-mb", type=float, default=2.0, help="size of the generated media files in MiB")
    parser.add_argument("--files", type=int, default=40, help="number of generated media files")
    parser.add_argument("--seed", type=int, default=1, help="seed of the generated data")
    parser.add_argument("--download-url-x64", help="package address written into the manifest")
    parser.add_argument("--download-url-x32", help="32-bit package address (default: the x64 one)")
    parser.add_argument("--updater-exit-code", type=int, help="make the packed updater exit with this code")
    args = parser.parse_args()
    if not all(part.isdigit() for part in args.version.split(".")):
        parser.error("--version must be dot-separated numbers")
    build(args)
    return 0


if __name__ == "__main__":
    sys.exit(main())
