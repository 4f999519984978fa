#!/usr/bin/env python3
"""Line coverage of the program's code from one gcovr JSON report per test
program (scripts/coverage): per layer, overall, and the least covered files
with the programs that run any of their lines.

coverage-summary.py LEAST REPORT.json...   (each report named after its program)
"""
import json
import os
import sys

# The layers as the README's layer map draws them: the shell lives in app/
# beside the Application, which is the top layer.
LAYERS = ["win32lib", "framework", "telemetry", "package", "shell", "installer", "ui", "app"]
APPLICATION_FILES = ("app/Application.", "app/main.cpp")


def layer_of(path):
    top = path.split("/", 1)[0]
    if top == "app":
        return "app" if path.startswith(APPLICATION_FILES) else "shell"
    return top if top in LAYERS else None


def read_reports(paths):
    """{file: {line: set of programs that ran it (empty: never run)}}"""
    lines_by_file = {}
    for path in paths:
        program = os.path.basename(path).removesuffix(".json")
        with open(path, encoding="utf-8") as report:
            files = json.load(report)["files"]
        for entry in files:
            lines = lines_by_file.setdefault(entry["file"], {})
            for line in entry["lines"]:
                if line.get("gcovr/noncode"):
                    continue
                programs = lines.setdefault(line["line_number"], set())
                if line["count"] > 0:
                    programs.add(program)
    return lines_by_file


def percent(run, total):
    return 100.0 * run / total if total else 100.0


def main():
    least = int(sys.argv[1])
    lines_by_file = read_reports(sys.argv[2:])
    totals = {layer: [0, 0] for layer in LAYERS}
    files = []
    for name, lines in lines_by_file.items():
        layer = layer_of(name)
        if layer is None or not lines:
            continue
        run = sum(1 for programs in lines.values() if programs)
        totals[layer][0] += run
        totals[layer][1] += len(lines)
        reached_by = sorted(set().union(*lines.values()))
        files.append((percent(run, len(lines)), name, run, len(lines), reached_by))

    print(f"{'layer':<10} {'lines':>7} {'run':>7} {'coverage':>9}")
    all_run = all_total = 0
    for layer in LAYERS:
        run, total = totals[layer]
        all_run += run
        all_total += total
        print(f"{layer:<10} {total:>7} {run:>7} {percent(run, total):>8.1f}%")
    print(f"{'overall':<10} {all_total:>7} {all_run:>7} {percent(all_run, all_total):>8.1f}%")

    print(f"\nThe {least} least covered files (lines run of lines; programs that run any of them):")
    for share, name, run, total, reached_by in sorted(files)[:least]:
        print(f"{share:5.1f}%  {run:>4}/{total:<4} {name}: {', '.join(reached_by) or 'none'}")


if __name__ == "__main__":
    main()
