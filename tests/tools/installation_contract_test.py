#!/usr/bin/env python3
"""The installation server's addresses of the reference server, checked from Python."""

import gzip
import hashlib
import http.client
import socket
import os
import subprocess
import sys
import tempfile
import time
import unittest
import xml.etree.ElementTree
import zlib

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
SERVER = os.path.join(ROOT, "tools", "reference_server.py")


class InstallationContractTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.work = tempfile.TemporaryDirectory()
        cls.root = os.path.join(cls.work.name, "root")
        os.makedirs(os.path.join(cls.root, "kestrune", "packages"))
        with open(os.path.join(cls.root, "kestrune", "packages", "x32.zip"), "wb") as package:
            package.write(b"x32 package bytes")
        cls.x64 = os.path.join(cls.work.name, "elsewhere-x64.zip")
        with open(cls.x64, "wb") as package:
            package.write(b"x64 package bytes" * 1000)
        cls.telemetry_log = os.path.join(cls.work.name, "telemetry.txt")
        ready = os.path.join(cls.work.name, "ports")
        cls.server = subprocess.Popen(
            [sys.executable, SERVER, "--root", cls.root, "--ready-file", ready, "--listen", "http=http:0",
             "--contract", "package_x64=" + cls.x64, "--contract", "min_size=4GB",
             "--contract", "telemetry_log=" + cls.telemetry_log],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        for _ in range(100):
            if os.path.exists(ready):
                break
            time.sleep(0.05)
        with open(ready) as ports:
            cls.port = int(ports.read().split()[1])

    @classmethod
    def tearDownClass(cls):
        cls.server.terminate()
        cls.server.wait(10)
        cls.work.cleanup()

    def request(self, path, method="GET"):
        connection = http.client.HTTPConnection("127.0.0.1", self.port, timeout=10)
        connection.request(method, path)
        response = connection.getresponse()
        body = response.read()
        connection.close()
        return response, body

    def manifest_fields(self, body):
        document = xml.etree.ElementTree.fromstring(body)
        return (document.findtext("lastVersion"), document.findtext("downloadUrl/x32"),
                document.findtext("downloadUrl/x64"), document.findtext("minSize"))

    def test_manifest_from_settings_points_at_this_server(self):
        response, body = self.request("/kestrune/updates.xml")
        self.assertEqual(response.status, 200)
        base = "http://127.0.0.1:%d" % self.port
        self.assertEqual(self.manifest_fields(body),
                         ("5.2.0.1700", base + "/kestrune/packages/x32.zip", base + "/kestrune/packages/x64.zip",
                          "4GB"))
        self.assertEqual(int(response.getheader("Content-Length")), len(body))

    def test_manifest_query_overrides_and_gzip(self):
        response, body = self.request("/kestrune/updates.xml?version=1..2&min_size=150%20MB&x32=&encoding=gzip")
        self.assertEqual(response.getheader("Content-Encoding"), "gzip")
        version, x32, x64, min_size = self.manifest_fields(gzip.decompress(body))
        self.assertEqual((version, x32, min_size), ("1..2", "", "150 MB"))
        self.assertTrue(x64.endswith("/kestrune/packages/x64.zip"))
        response, body = self.request("/kestrune/updates.xml?encoding=gzip-bomb")
        self.assertEqual(response.getheader("Content-Encoding"), "gzip")
        self.assertLess(len(body), 2 << 20)
        self.assertEqual(zlib.decompressobj(31).decompress(body, 8 << 20), bytes(8 << 20))

    def test_refusals_on_demand(self):
        for code in (465, 503):
            self.assertEqual(self.request("/kestrune/updates.xml?code=%d" % code)[0].status, code)
            self.assertEqual(self.request("/kestrune/packages/x64.zip?code=%d" % code)[0].status, code)
        self.assertEqual(self.request("/control?package_status=503")[0].status, 200)
        self.assertEqual(self.request("/kestrune/packages/x32.zip")[0].status, 503)
        self.assertEqual(self.request("/control?package_status=200")[0].status, 200)
        self.assertEqual(self.request("/control?no_such_setting=1")[0].status, 400)

    def test_packages_from_settings_or_the_root(self):
        response, body = self.request("/kestrune/packages/x64.zip")
        self.assertEqual((response.status, body), (200, b"x64 package bytes" * 1000))
        response, body = self.request("/kestrune/packages/x32.zip")
        self.assertEqual((response.status, body), (200, b"x32 package bytes"))

    def test_probe_and_welcome_page(self):
        response, body = self.request("/probe")
        self.assertEqual((response.status, body), (200, b"ok\n"))
        self.assertEqual(self.request("/welcome.html")[0].status, 200)

    def test_telemetry_recorded_in_order(self):
        before = self.request("/telemetry-events")[1].decode().splitlines()
        sent = ["/telemetry/log_error?stepId=2&installerErrorId=20011&winApiErrorId=12029&id1=0&id2=1",
                "/telemetry/log_stop?stepId=4&timeElapsed=1234",
                "/telemetry/installed?campaign=1000&channel=1",
                "/telemetry/log_success?id1=1000&id2=1"]
        for path in sent:
            response, body = self.request(path, "HEAD")
            self.assertEqual((response.status, body), (200, b""))
        events = self.request("/telemetry-events")[1].decode().splitlines()
        self.assertEqual(events[len(before):], ["HEAD " + path for path in sent])
        with open(self.telemetry_log) as log:
            self.assertEqual(log.read().splitlines()[-4:], ["HEAD " + path for path in sent])


    def test_download_addresses_and_manifest_file_from_settings(self):
        self.assertEqual(self.request("/control?x64_url=http%3A%2F%2F127.0.0.1%3A1%2Fscenario%2Fshort%3Fsize%3D9"
                                      "%26declared%3D10")[0].status, 200)
        try:
            self.assertEqual(self.manifest_fields(self.request("/kestrune/updates.xml")[1])[2],
                             "http://127.0.0.1:1/scenario/short?size=9&declared=10")
        finally:
            self.request("/control?x64_url=")
        manifest = os.path.join(self.work.name, "broken.xml")
        with open(manifest, "wb") as broken:
            broken.write(b"<updates><lastVersion>1")
        self.request("/control?manifest_file=" + manifest)
        try:
            self.assertEqual(self.request("/kestrune/updates.xml")[1], b"<updates><lastVersion>1")
        finally:
            self.request("/control?manifest_file=")
        self.assertTrue(self.request("/kestrune/updates.xml")[1].startswith(b"<?xml"))

    def test_faults_on_demand(self):
        self.assertEqual(self.request("/control?probe_fault=bogus")[0].status, 400)
        self.request("/control?probe_fault=reset&manifest_fault=delay:0.5")
        try:
            with self.assertRaises((ConnectionError, http.client.HTTPException)):
                self.request("/probe")
            started = time.monotonic()
            self.assertEqual(self.request("/kestrune/updates.xml")[0].status, 200)
            self.assertGreaterEqual(time.monotonic() - started, 0.5)
        finally:
            self.request("/control?probe_fault=&manifest_fault=")
        self.assertEqual(self.request("/probe")[0].status, 200)

    def test_stalled_telemetry_is_still_recorded(self):
        self.request("/control?telemetry_fault=stall:2")
        try:
            connection = http.client.HTTPConnection("127.0.0.1", self.port, timeout=0.5)
            connection.request("HEAD", "/telemetry/log_stop?stepId=1&timeElapsed=0")
            with self.assertRaises(socket.timeout):
                connection.getresponse()
            connection.close()
        finally:
            self.request("/control?telemetry_fault=")
        self.assertEqual(self.request("/telemetry-events")[1].decode().splitlines()[-1],
                         "HEAD /telemetry/log_stop?stepId=1&timeElapsed=0")

    def test_package_hashes_in_the_manifest(self):
        def hashes():
            document = xml.etree.ElementTree.fromstring(self.request("/kestrune/updates.xml")[1])
            return tuple(document.find("downloadUrl/" + name).get("sha256") for name in ("x32", "x64"))

        served = tuple(hashlib.sha256(self.request("/kestrune/packages/%s.zip" % name)[1]).hexdigest()
                       for name in ("x32", "x64"))
        self.assertEqual(hashes(), served)
        try:
            for mode, expected in (("none", (None, None)), ("malformed", ("not-a-sha256-digest",) * 2),
                                   ("ABCDEF" + "0" * 58, ("ABCDEF" + "0" * 58,) * 2)):
                self.request("/control?package_sha256=" + mode)
                self.assertEqual(hashes(), expected)
            self.request("/control?package_sha256=wrong")
            wrong = hashes()
            self.assertRegex(wrong[1], "^[0-9a-f]{64}$")
            self.assertNotIn(wrong[1], served)
        finally:
            self.request("/control?package_sha256=auto")
        # An address of somewhere else: the server cannot know its bytes.
        self.request("/control?x64_url=http%3A%2F%2F127.0.0.1%3A1%2Fother.zip")
        try:
            self.assertEqual(hashes(), (served[0], None))
        finally:
            self.request("/control?x64_url=")

    def test_throttled_package(self):
        self.request("/control?package_rate=40000")
        try:
            started = time.monotonic()
            response, body = self.request("/kestrune/packages/x64.zip")
            self.assertEqual(len(body), 17000)
            self.assertGreaterEqual(time.monotonic() - started, 0.3)
        finally:
            self.request("/control?package_rate=0")


if __name__ == "__main__":
    unittest.main()
