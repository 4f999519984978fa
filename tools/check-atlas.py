#!/usr/bin/env python3
"""Checks the rendered pictures against what the program reads from them.

Atlas (101): every region the controls use lies inside the picture, holds a
picture (some non-transparent pixel), overlaps no other region and is ringed by
transparent pixels, so that linear filtering at high DPI never pulls in a
neighbour; text-button and field cells repeat one column between their insets
(the fixed-size express-install frame may shade slowly from left to right); the
progress fill covers exactly the track's width. The table in
design/atlas-regions.md must list the same rectangles.

Frames (102 to 105): the part the nine-slice stretches is plain body colour
0x1A1A1C and opaque, pixel (20, 20) included (the window's drag test reads it),
also as drawn at 125 % to 175 % DPI; the border bands change only slowly along
their length; the outer corners are clear shadow.

All pictures: 8-bit RGBA PNG carrying an sRGB ICC profile.

Standard library only. Usage: tools/check-atlas.py [resources folder]
"""

import pathlib
import re
import struct
import sys
import zlib

BODY = (0x1A, 0x1A, 0x1C, 0xFF)
FRAME_BORDERS = (21, 21, 16, 16)  # left, right, top, bottom

# name, (left, top, right, bottom), element, state
REGIONS = [
    ("field-frame", (5, 103, 599, 133), "ChooseFileTextField frame (insets 14/14/10/10)", "-"),
    ("minimise-normal", (109, 153, 135, 173), "SystemButtonMinimize", "normal"),
    ("minimise-hover", (436, 153, 462, 173), "SystemButtonMinimize", "hover"),
    ("minimise-pressed", (721, 153, 747, 173), "SystemButtonMinimize", "pressed"),
    ("close-normal", (163, 153, 190, 173), "SystemButtonClose", "normal"),
    ("close-hover", (490, 153, 517, 173), "SystemButtonClose", "hover"),
    ("close-pressed", (775, 153, 802, 173), "SystemButtonClose", "pressed"),
    ("express-shield-vista", (27, 211, 47, 235), "ExpressInstallButton shield", "Windows 6.0"),
    ("express-shield-other", (88, 211, 108, 235), "ExpressInstallButton shield", "other versions or failed query"),
    ("express-shield-10", (143, 211, 165, 234), "ExpressInstallButton shield", "Windows 10 and later"),
    ("express-arrow", (204, 206, 243, 240), "ExpressInstallButton arrow", "-"),
    ("status-emblem", (260, 206, 294, 240), "InstallingView status emblem", "-"),
    ("express-normal", (5, 250, 305, 311), "ExpressInstallButton frame (insets 17/17/19/21)", "normal"),
    ("express-hover", (316, 250, 616, 311), "ExpressInstallButton frame", "hover"),
    ("express-pressed", (625, 250, 925, 311), "ExpressInstallButton frame", "pressed"),
    ("dark-normal", (66, 334, 221, 364), "TextButtonDark frame (insets 11/11/10/10)", "normal"),
    ("dark-hover", (383, 334, 538, 364), "TextButtonDark frame", "hover"),
    ("dark-pressed", (693, 334, 848, 364), "TextButtonDark frame", "pressed"),
    ("red-normal", (66, 387, 221, 417), "TextButtonRed frame (insets 11/11/10/10)", "normal"),
    ("red-hover", (383, 387, 538, 417), "TextButtonRed frame", "hover"),
    ("red-pressed", (693, 387, 848, 417), "TextButtonRed frame", "pressed"),
    ("check-box", (139, 433, 152, 446), "CheckBox box", "always"),
    ("check-mark", (155, 435, 164, 443), "CheckBox check mark", "checked"),
    ("finish-emblem", (204, 433, 306, 504), "FinishView emblem", "-"),
    ("start-shield-vista", (325, 437, 338, 451), "StartInstallButton shield", "Windows 6.0"),
    ("start-shield-other", (369, 437, 383, 451), "StartInstallButton shield", "other versions or failed query"),
    ("start-shield-10", (414, 436, 427, 450), "StartInstallButton shield", "Windows 10 and later"),
    ("folder-emblem", (73, 462, 109, 490), "ChooseDirView folder emblem", "-"),
    ("folder-icon", (118, 475, 138, 490), "ChooseFileTextField folder icon", "-"),
    ("progress-track", (66, 522, 685, 540), "ProgressBar track", "-"),
    ("progress-line", (49, 554, 696, 604), "ProgressLine (cut at the right, caps 17)", "-"),
    ("product-logo", (92, 620, 220, 748), "StartPageView product logo", "-"),
    ("error-emblem", (316, 625, 416, 725), "ErrorPageView emblem", "-"),
]

# Nine-slice cells: name -> (left inset, right inset, largest change between
# neighbouring centre columns). Text buttons change width with their caption and
# repeat one column exactly; the express-install frame is drawn at its own size
# and may shade slowly from left to right.
STRETCHED = {
    "field-frame": (14, 14, 0),
    "dark-normal": (11, 11, 0), "dark-hover": (11, 11, 0), "dark-pressed": (11, 11, 0),
    "red-normal": (11, 11, 0), "red-hover": (11, 11, 0), "red-pressed": (11, 11, 0),
    "express-normal": (17, 17, 2), "express-hover": (17, 17, 2), "express-pressed": (17, 17, 2),
}


class Picture:
    def __init__(self, path):
        data = path.read_bytes()
        if data[:8] != b"\x89PNG\r\n\x1a\n":
            raise ValueError(f"{path}: not a PNG")
        pos, idat, self.chunks, self.icc = 8, bytearray(), [], None
        while pos < len(data):
            length, kind = struct.unpack(">I4s", data[pos:pos + 8])
            body = data[pos + 8:pos + 8 + length]
            kind = kind.decode("ascii")
            self.chunks.append(kind)
            if kind == "IHDR":
                self.width, self.height, depth, colour, _, _, interlace = struct.unpack(">IIBBBBB", body)
                if (depth, colour, interlace) != (8, 6, 0):
                    raise ValueError(f"{path}: not 8-bit non-interlaced RGBA (depth {depth}, type {colour})")
            elif kind == "IDAT":
                idat += body
            elif kind == "iCCP":
                name_end = body.index(0)
                self.icc = zlib.decompress(body[name_end + 2:])
            pos += 12 + length
        self.pixels = self._unfilter(zlib.decompress(bytes(idat)))

    def _unfilter(self, raw):
        stride, out, prior = self.width * 4, bytearray(), bytearray(self.width * 4)
        for y in range(self.height):
            at = y * (stride + 1)
            kind, row = raw[at], bytearray(raw[at + 1:at + 1 + stride])
            for i in range(stride):
                left = row[i - 4] if i >= 4 else 0
                up = prior[i]
                upper_left = prior[i - 4] if i >= 4 else 0
                if kind == 1:
                    row[i] = (row[i] + left) & 0xFF
                elif kind == 2:
                    row[i] = (row[i] + up) & 0xFF
                elif kind == 3:
                    row[i] = (row[i] + ((left + up) >> 1)) & 0xFF
                elif kind == 4:
                    p = left + up - upper_left
                    pa, pb, pc = abs(p - left), abs(p - up), abs(p - upper_left)
                    predictor = left if pa <= pb and pa <= pc else up if pb <= pc else upper_left
                    row[i] = (row[i] + predictor) & 0xFF
            out += row
            prior = row
        return out

    def at(self, x, y):
        i = (y * self.width + x) * 4
        return tuple(self.pixels[i:i + 4])

    def column(self, x, top, bottom):
        return [self.at(x, y) for y in range(top, bottom)]

    def row(self, y, left, right):
        return [self.at(x, y) for x in range(left, right)]


class Report:
    def __init__(self):
        self.failures = 0

    def check(self, condition, message):
        if not condition:
            self.failures += 1
            print(f"FAIL {message}")
        return condition


def check_profile(report, name, picture):
    report.check(picture.icc is not None, f"{name}: no embedded ICC profile")
    if picture.icc:
        report.check(picture.icc[36:40] == b"acsp" and picture.icc[16:20] == b"RGB ",
                     f"{name}: embedded profile is not an RGB ICC profile")


def overlaps(a, b):
    return a[0] < b[2] and b[0] < a[2] and a[1] < b[3] and b[1] < a[3]


def check_atlas(report, atlas, regions_doc):
    for name, (left, top, right, bottom), _, _ in REGIONS:
        if not report.check(0 <= left < right <= atlas.width and 0 <= top < bottom <= atlas.height,
                            f"atlas {name}: outside the {atlas.width}x{atlas.height} picture"):
            continue
        alpha = [atlas.at(x, y)[3] for y in range(top, bottom) for x in range(left, right)]
        report.check(any(alpha), f"atlas {name}: empty")
        ring = [(x, y) for x in range(left - 1, right + 1) for y in (top - 1, bottom)]
        ring += [(x, y) for y in range(top, bottom) for x in (left - 1, right)]
        bleeding = [(x, y) for x, y in ring
                    if 0 <= x < atlas.width and 0 <= y < atlas.height and atlas.at(x, y)[3]]
        report.check(not bleeding, f"atlas {name}: pixels just outside the region at {bleeding[:3]}")

    for i, (name, rect, _, _) in enumerate(REGIONS):
        for other, other_rect, _, _ in REGIONS[i + 1:]:
            report.check(not overlaps(rect, other_rect), f"atlas {name} overlaps {other}")

    for name, (left, top, right, bottom), _, _ in REGIONS:
        if name in STRETCHED:
            left_inset, right_inset, tolerance = STRETCHED[name]
            columns = [atlas.column(x, top, bottom) for x in range(left + left_inset, right - right_inset)]
            uneven = [left_inset + i + 1 for i, (a, b) in enumerate(zip(columns, columns[1:]))
                      if max(max(abs(p - q) for p, q in zip(pa, pb)) for pa, pb in zip(a, b)) > tolerance]
            report.check(not uneven, f"atlas {name}: centre columns change by more than {tolerance}, first at {uneven[:1]}")

    track = dict((n, r) for n, r, _, _ in REGIONS)["progress-track"]
    line = dict((n, r) for n, r, _, _ in REGIONS)["progress-line"]
    middle = line[1] + 25  # a row through the middle of the fill
    opaque = [x - line[0] for x in range(line[0], line[2]) if atlas.at(x, middle)[3] == 255]
    width = track[2] - track[0]
    report.check(opaque and opaque[0] == 14 and opaque[-1] == 14 + width - 1,
                 f"progress fill spans columns {opaque[:1]}..{opaque[-1:]} of the line, "
                 f"expected 14..{14 + width - 1} (the track's width under the bar's offset)")
    report.check(atlas.at(line[0] + 16, middle)[3] == 255,
                 "progress line: the 17-pixel left cap does not reach into the fill")

    listed = set()
    for match in re.finditer(r"\((\d+), (\d+), (\d+), (\d+)\)", regions_doc):
        listed.add(tuple(int(v) for v in match.groups()))
    expected = {rect for _, rect, _, _ in REGIONS}
    report.check(listed == expected,
                 f"atlas-regions.md differs: missing {sorted(expected - listed)}, extra {sorted(listed - expected)}")


def steepest(pixels):
    return max((max(abs(a - b) for a, b in zip(p, q)) for p, q in zip(pixels, pixels[1:])), default=0)


def check_frame(report, name, frame):
    left, right, top, bottom = FRAME_BORDERS
    w, h = frame.width, frame.height
    report.check(frame.at(20, 20) == BODY, f"{name}: pixel (20, 20) is {frame.at(20, 20)}, not the body colour")
    # Scaled up, the corner slice maps drawn pixel 20 back to 20.5 / scale in the
    # picture; linear filtering then mixes the two texels around that point.
    for scale in (1.25, 1.5, 1.75):
        first = int(20.5 / scale - 0.5)
        texels = {frame.at(x, y) for x in (first, first + 1) for y in (first, first + 1)}
        report.check(texels == {BODY}, f"{name}: at {scale:.0%} pixel (20, 20) samples {sorted(texels)}")
    centre = [(x, y) for y in range(top, h - bottom) for x in range(left, w - right)
              if frame.at(x, y) != BODY]
    report.check(not centre, f"{name}: centre is not plain body colour at {centre[:3]}")
    # Bands are stretched along their length: they may shade slowly (the accent
    # gradient along the top) but must hold no feature that stretching would smear.
    for x in list(range(left)) + list(range(w - right, w)):
        step = steepest(frame.column(x, top, h - bottom))
        report.check(step <= 2, f"{name}: side band column {x} changes by {step} between neighbours")
    for y in list(range(top)) + list(range(h - bottom, h)):
        step = steepest(frame.row(y, left, w - right))
        report.check(step <= 2, f"{name}: top/bottom band row {y} changes by {step} between neighbours")
    report.check(frame.at(0, 0)[3] < 16 and frame.at(w - 1, h - 1)[3] < 16,
                 f"{name}: outer corners should be (nearly) transparent shadow")


def main():
    resources = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else pathlib.Path(__file__).parent.parent / "resources")
    pictures = resources / "pictures"
    report = Report()

    atlas = Picture(pictures / "101.png")
    check_profile(report, "101", atlas)
    check_atlas(report, atlas, (resources / "design" / "atlas-regions.md").read_text(encoding="utf-8"))
    print(f"atlas 101: {atlas.width}x{atlas.height}, {len(REGIONS)} regions checked")

    for picture_id, role in ((102, "main frame, active"), (103, "main frame, inactive"),
                             (104, "message box frame, active"), (105, "message box frame, inactive")):
        frame = Picture(pictures / f"{picture_id}.png")
        check_profile(report, str(picture_id), frame)
        check_frame(report, f"{picture_id} ({role})", frame)
        print(f"frame {picture_id} ({role}): {frame.width}x{frame.height}")

    if report.failures:
        print(f"check-atlas: {report.failures} failure(s)")
        return 1
    print("check-atlas: all pictures fit the program")
    return 0


if __name__ == "__main__":
    sys.exit(main())
