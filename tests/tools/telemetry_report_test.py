#!/usr/bin/env python3
"""deploy/telemetry-report over a synthetic log with known counts: nginx's
telemetry log and the reference server's request log together, with the
success address, other requests and unknown events mixed in."""

import json
import os
import re
import subprocess
import sys
import tempfile
import unittest

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
REPORT = os.path.join(ROOT, "deploy", "telemetry-report")

WINDOWS_10 = "KestruneInstaller/1.0.5 (x64) (10.0.0.0.19045.256.1)"
WINDOWS_11 = "KestruneInstaller/1.0.5 (x64) (10.0.0.0.22631.256.1)"
WINDOWS_7 = "KestruneInstaller/1.0.5 (x86) (6.1.1.0.7601.256.1)"

# (times, request URI, user agent) written to nginx's telemetry log.
NGINX_LINES = [
    (4, "/telemetry/installed?campaign=1000&channel=1", WINDOWS_10),
    (4, "/telemetry/log_success?id1=1000&id2=1", WINDOWS_10),
    (2, "/telemetry/log_error?stepId=4&installerErrorId=20020&winApiErrorId=0&id1=0&id2=2", WINDOWS_10),
    (2, "/telemetry/log_winhttp_error?placeId=1&winApiErrorId=12029&sslErrors=0&operation=WinHttpSendRequest",
     WINDOWS_10),
    (1, "/telemetry/log_error?stepId=2&installerErrorId=20022&winApiErrorId=12029&id1=0&id2=1", WINDOWS_10),
    (1, "/telemetry/log_error?stepId=3&installerErrorId=20004&winApiErrorId=0&id1=0&id2=0", WINDOWS_10),
    (1, "/telemetry/log_winhttp_error?placeId=2&winApiErrorId=12175&sslErrors=8"
        "&operation=WinHttpSetOption|WINHTTP_OPTION_SECURITY_FLAGS", WINDOWS_10),
    (1, "/telemetry/log_error?stepId=4&installerErrorId=20011&winApiErrorId=12175&id1=8&id2=2", WINDOWS_10),
    (1, "/telemetry/log_stop?stepId=4&timeElapsed=1000", WINDOWS_10),
    (1, "/telemetry/log_stop?stepId=4&timeElapsed=3000", WINDOWS_10),
    (1, "/telemetry/log_stop?stepId=4&timeElapsed=2500", WINDOWS_10),
    (1, "/telemetry/log_stop?stepId=1&timeElapsed=0", WINDOWS_10),
    (1, "/telemetry/log_stop?stepId=1&timeElapsed=0", WINDOWS_11),
    (3, "/telemetry/log_unknown?stepId=9", WINDOWS_10),
]

# (times, path, query, user agent) in the reference server's request log.
REFERENCE_LINES = [
    (2, "/kestrune/updates.xml", "", WINDOWS_7),
    (2, "/telemetry/installed", "campaign=1000&channel=1", WINDOWS_7),
    (2, "/telemetry/log_success", "id1=1000&id2=1", WINDOWS_7),
]

# What the report must print: one line each, whitespace between the columns.
EXPECTED = [
    ("attempts", r"attempts\s+16"),
    ("successes", r"successes\s+6"),
    ("success rate", r"success rate\s+37\.5%"),
    ("funnel start", r"started\s+16"),
    ("funnel after the destination", r"past 1 destination\s+14"),
    ("funnel after the manifest", r"past 2 manifest\s+13"),
    ("funnel after the free space", r"past 3 free space\s+12"),
    ("funnel after the download", r"past 4 download\s+6"),
    ("funnel at the end", r"past 6 registration\s+6"),
    ("refused package", r"20020\s+4 download\s+2\s+Unexpected Error"),
    ("unreachable server", r"20022\s+2 manifest\s+1\s+Server Connection Error"),
    ("no free space", r"20004\s+3 free space\s+1\s+No Free Space on Disk"),
    ("download failure", r"20011\s+4 download\s+1\s+Internet Connection Error"),
    ("cancels in the download", r"4 download\s+3\s+2\.5 s"),
    ("cancels before the first step", r"1 destination\s+2\s+0\.0 s"),
    ("manifest request errors", r"WinHttpSendRequest\s+manifest\s+12029\s+2"),
    ("operation with its bar", r"WinHttpSetOption\|WINHTTP_OPTION_SECURITY_FLAGS\s+package\s+12175\s+1"),
    ("Windows 10", r"Windows 10 \(10\.0\.19045\) x64\s+13"),
    ("Windows 11", r"Windows 11 \(10\.0\.22631\) x64\s+1"),
    ("Windows 7", r"Windows 7 SP1 \(6\.1\.7601\) x86\s+2"),
]


class TelemetryReport(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.folder = tempfile.TemporaryDirectory()
        nginx_log = os.path.join(cls.folder.name, "telemetry.log")
        reference_log = os.path.join(cls.folder.name, "requests.jsonl")
        with open(nginx_log, "w", encoding="utf-8") as log:
            second = 0
            for times, uri, agent in NGINX_LINES:
                for _ in range(times):
                    second += 1
                    log.write("2026-12-08T10:%02d:%02d+00:00\tHEAD\t%s\t%s\n" % (second // 60, second % 60, uri, agent))
        with open(reference_log, "w", encoding="utf-8") as log:
            for times, path, query, agent in REFERENCE_LINES:
                for _ in range(times):
                    log.write(json.dumps({"time": "2026-12-08T11:00:00+00:00", "method": "HEAD", "path": path,
                                          "query": query, "headers": {"User-Agent": agent}}, sort_keys=True) + "\n")
        cls.png = os.path.join(cls.folder.name, "report.png")
        cls.result = subprocess.run([REPORT, "--png", cls.png, nginx_log, reference_log],
                                 capture_output=True, text=True, timeout=120)

    @classmethod
    def tearDownClass(cls):
        cls.folder.cleanup()

    def test_prints_the_known_counts(self):
        self.assertEqual(self.result.returncode, 0, self.result.stderr)
        for name, pattern in EXPECTED:
            with self.subTest(name):
                self.assertRegex(self.result.stdout, re.compile(r"^\s*" + pattern + r"\s*$", re.M))

    def test_names_come_from_the_error_table(self):
        # A tree holding only the error table, with one title and one step
        # renamed: the report must name them so, and fail without the table.
        with open(os.path.join(ROOT, "resources", "installErrors.json"), encoding="utf-8") as source:
            table = json.load(source)
        for entry in table["errorPageStrings"]:
            if entry["id"] == 402:
                entry["text"] = "Disk Is Full"
        for step in table["steps"]:
            if step["id"] == 3:
                step["report"] = "space check"
        tree = os.path.join(self.folder.name, "tree")
        os.makedirs(os.path.join(tree, "resources"), exist_ok=True)
        log = os.path.join(self.folder.name, "telemetry.log")
        empty = subprocess.run([REPORT, "--source", tree, log], capture_output=True, text=True, timeout=120)
        self.assertNotEqual(empty.returncode, 0)
        with open(os.path.join(tree, "resources", "installErrors.json"), "w", encoding="utf-8") as copy:
            json.dump(table, copy)
        renamed = subprocess.run([REPORT, "--source", tree, log], capture_output=True, text=True, timeout=120)
        self.assertEqual(renamed.returncode, 0, renamed.stderr)
        self.assertRegex(renamed.stdout, re.compile(r"^\s*20004\s+3 space check\s+1\s+Disk Is Full\s*$", re.M))

    def test_draws_one_picture(self):
        with open(self.png, "rb") as picture:
            data = picture.read()
        self.assertTrue(data.startswith(b"\x89PNG\r\n\x1a\n"))
        self.assertGreater(len(data), 20000)


if __name__ == "__main__":
    unittest.main(verbosity=2)
