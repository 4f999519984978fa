#!/usr/bin/env python3
"""check-layers.py SOURCE_DIR LAYER...: fails when a source file of a layer
includes a header of a layer that layer may not use.

Each LAYER is "name=prefix,prefix=used,used" as the build declares it
(kestrune_layer in CMakeLists.txt): the path prefixes of its files, relative
to SOURCE_DIR, and the layers its library links. A file belongs to the layer
with the longest matching prefix; a layer may use itself and, through them,
whatever its used layers may use. System headers (<...>) are not checked; a
quoted include that names no layer's file is an error too. A header the
build generates is included by its path under the build's generated/ folder
(package/installErrorIds.h, app/exitCodes.h) and so belongs to the layer of
that path, like a source file."""

import os
import re
import sys

INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"]+)"')
SOURCE_SUFFIXES = (".h", ".hpp", ".cpp", ".c")


def parse_layers(specs):
    prefixes = {}
    uses = {}
    for spec in specs:
        name, paths, used = spec.split("=")
        uses[name] = [layer for layer in used.split(",") if layer]
        for prefix in paths.split(","):
            prefixes[prefix] = name
    return prefixes, uses


def layer_of(path, prefixes):
    matches = [prefix for prefix in prefixes if path.startswith(prefix)]
    return prefixes[max(matches, key=len)] if matches else None


def allowed_layers(uses):
    allowed = {}
    for name in uses:
        reached = {name}
        waiting = list(uses[name])
        while waiting:
            layer = waiting.pop()
            if layer not in reached:
                reached.add(layer)
                waiting.extend(uses.get(layer, []))
        allowed[name] = reached
    return allowed


def source_files(root, prefixes):
    folders = {prefix.split("/")[0] for prefix in prefixes}
    for folder in sorted(folders):
        for directory, _, names in os.walk(os.path.join(root, folder)):
            for name in sorted(names):
                if name.endswith(SOURCE_SUFFIXES):
                    yield os.path.relpath(os.path.join(directory, name), root).replace(os.sep, "/")


def main():
    root = sys.argv[1]
    prefixes, uses = parse_layers(sys.argv[2:])
    allowed = allowed_layers(uses)
    checked = 0
    wrong = []
    for path in source_files(root, prefixes):
        layer = layer_of(path, prefixes)
        if layer is None:
            continue
        checked += 1
        with open(os.path.join(root, path), encoding="utf-8") as source:
            for number, line in enumerate(source, 1):
                match = INCLUDE.match(line)
                if not match:
                    continue
                header = match.group(1)
                used = layer_of(header, prefixes)
                if used is None:
                    wrong.append(f"{path}:{number}: {layer} includes {header}, which belongs to no layer")
                elif used not in allowed[layer]:
                    wrong.append(f"{path}:{number}: {layer} includes {header} of {used}, "
                                 f"but may use only {', '.join(sorted(allowed[layer]))}")
    print(f"{checked} files of {len(uses)} layers checked; the layers from the top, each with what it may use:")
    for name in sorted(uses, key=lambda layer: (-len(allowed[layer]), layer)):
        below = sorted(allowed[name] - {name}, key=lambda layer: (-len(allowed[layer]), layer))
        print(f"  {name}: {', '.join(below) or 'nothing of ours'}")
    for line in wrong:
        print(line)
    return 1 if wrong else 0


if __name__ == "__main__":
    sys.exit(main())
