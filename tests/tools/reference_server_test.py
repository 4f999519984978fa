#!/usr/bin/env python3
"""The reference server's scripted answers and request log, checked from Python."""

import gzip
import http.client
import json
import os
import socket
import subprocess
import sys
import tempfile
import time
import unittest
import zlib

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
SERVER = os.path.join(ROOT, "tools", "reference_server.py")


EXTENSION = """
from reference_server import route

@route(r"^/extension/(\\w+)$")
def greet(request, match):
    request.send_body(201, ("hello " + match.group(1)).encode(), "text/plain")
"""


def pattern(size):
    return bytes((i * 31 + 7) % 251 for i in range(size))


class ReferenceServerTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.work = tempfile.TemporaryDirectory()
        cls.root = os.path.join(cls.work.name, "root")
        os.makedirs(os.path.join(cls.root, "kestrune"))
        with open(os.path.join(cls.root, "kestrune", "package.zip"), "wb") as package:
            package.write(pattern(300000))
        with open(os.path.join(cls.work.name, "secret.txt"), "w") as secret:
            secret.write("outside the root")
        extension = os.path.join(cls.work.name, "extension.py")
        with open(extension, "w") as routes:
            routes.write(EXTENSION)
        cls.log = os.path.join(cls.work.name, "requests.jsonl")
        ready = os.path.join(cls.work.name, "ports")
        cls.server = subprocess.Popen(
            [sys.executable, SERVER, "--root", cls.root, "--log", cls.log, "--ready-file", ready,
             "--listen", "http=http:0", "--extension", extension],
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

    def request(self, path, method="GET", headers=None):
        connection = http.client.HTTPConnection("127.0.0.1", self.port, timeout=10)
        connection.request(method, path, headers=headers or {})
        response = connection.getresponse()
        body = response.read()
        connection.close()
        return response, body

    def logged(self, path):
        with open(self.log) as log:
            return [entry for entry in map(json.loads, log) if entry["path"] == path]

    def test_status_and_pattern_body(self):
        for code in (200, 404, 465, 503):
            response, body = self.request("/scenario/status/%d?size=1000" % code)
            self.assertEqual(response.status, code)
            self.assertEqual(response.getheader("Content-Length"), "1000")
            self.assertEqual(body, pattern(1000))

    def test_text_body(self):
        _, body = self.request("/scenario/body?text=hello")
        self.assertEqual(body, b"hello")

    def test_framings_without_length(self):
        response, body = self.request("/scenario/chunked?size=70000")
        self.assertEqual(response.getheader("Transfer-Encoding"), "chunked")
        self.assertEqual(body, pattern(70000))
        response, body = self.request("/scenario/close?size=70000")
        self.assertIsNone(response.getheader("Content-Length"))
        self.assertEqual(body, pattern(70000))

    def test_short_body_declares_more_than_it_sends(self):
        connection = http.client.HTTPConnection("127.0.0.1", self.port, timeout=10)
        connection.request("GET", "/scenario/short?size=100&declared=200")
        response = connection.getresponse()
        self.assertEqual(response.getheader("Content-Length"), "200")
        with self.assertRaises(http.client.IncompleteRead) as raised:
            response.read()
        connection.close()
        self.assertEqual(len(raised.exception.partial), 100)

    def test_encodings(self):
        response, body = self.request("/scenario/gzip?size=5000")
        self.assertEqual(response.getheader("Content-Encoding"), "gzip")
        self.assertEqual(gzip.decompress(body), pattern(5000))
        response, body = self.request("/scenario/zlib-gzip?size=5000")
        self.assertEqual(response.getheader("Content-Encoding"), "gzip")
        self.assertEqual(zlib.decompress(body), pattern(5000))
        response, body = self.request("/scenario/deflate?size=5000")
        self.assertEqual(response.getheader("Content-Encoding"), "deflate")
        self.assertEqual(zlib.decompress(body), pattern(5000))
        _, body = self.request("/scenario/gzip-truncated?size=5000")
        with self.assertRaises(EOFError):
            gzip.decompress(body)
        _, body = self.request("/scenario/gzip-trailing?size=5000")
        decoder = zlib.decompressobj(31)
        self.assertEqual(decoder.decompress(body), pattern(5000))
        self.assertTrue(decoder.unused_data)
        response, body = self.request("/scenario/gzip-bomb?size=%d" % (64 << 20))
        self.assertEqual(response.getheader("Content-Encoding"), "gzip")
        self.assertLess(len(body), 128 * 1024)
        self.assertEqual(gzip.decompress(body), bytes(64 << 20))

    def test_files_are_served_from_the_root_only(self):
        response, body = self.request("/files/kestrune/package.zip")
        self.assertEqual(response.status, 200)
        self.assertEqual(body, pattern(300000))
        response, _ = self.request("/kestrune/package.zip", method="HEAD")
        self.assertEqual(response.getheader("Content-Length"), "300000")
        response, _ = self.request("/files/../secret.txt")
        self.assertEqual(response.status, 404)
        response, _ = self.request("/files/%2e%2e/secret.txt")
        self.assertEqual(response.status, 404)

    def test_files_resume_after_a_cut(self):
        path = "/files/kestrune/package.zip?cut_after=100000"
        connection = http.client.HTTPConnection("127.0.0.1", self.port, timeout=10)
        connection.request("GET", path)
        response = connection.getresponse()
        with self.assertRaises(http.client.IncompleteRead) as cut:
            response.read()
        connection.close()
        first = cut.exception.partial
        self.assertEqual(response.status, 200)
        self.assertEqual(first, pattern(100000))
        etag = response.getheader("ETag")
        date = response.getheader("Last-Modified")
        self.assertEqual(response.getheader("Accept-Ranges"), "bytes")
        for validator in (etag, date):
            response, rest = self.request(path, headers={"Range": "bytes=100000-", "If-Range": validator})
            self.assertEqual(response.status, 206)
            self.assertEqual(response.getheader("Content-Range"), "bytes 100000-299999/300000")
            self.assertEqual(first + rest, pattern(300000))
        response, body = self.request(path, headers={"Range": "bytes=100000-", "If-Range": '"other"'})
        self.assertEqual(response.status, 200)
        self.assertEqual(body, pattern(300000))
        response, _ = self.request(path, headers={"Range": "bytes=300000-"})
        self.assertEqual(response.status, 416)
        self.assertEqual(response.getheader("Content-Range"), "bytes */300000")
        # Each size is logged once its answer is out, so it can come late.
        for _ in range(40):
            with open(self.log) as log:
                sent = [e["bytes"] for e in map(json.loads, log)
                        if e.get("event") == "sent" and e["query"] == "cut_after=100000"]
            if len(sent) == 5:
                break
            time.sleep(0.05)
        self.assertEqual(sent, [100000, 200000, 200000, 300000, 0])

    def test_throttle(self):
        started = time.monotonic()
        _, body = self.request("/files/kestrune/package.zip?rate=600000")
        self.assertEqual(len(body), 300000)
        self.assertGreater(time.monotonic() - started, 0.4)

    def test_drop_closes_without_an_answer(self):
        with self.assertRaises((http.client.RemoteDisconnected, ConnectionError)):
            self.request("/scenario/drop")

    def test_fail_first_then_answer(self):
        path = "/scenario/body?size=10&fail_first=2&fail_mode=code:503"
        self.assertEqual(self.request(path)[0].status, 503)
        self.assertEqual(self.request(path)[0].status, 503)
        response, body = self.request(path)
        self.assertEqual(response.status, 200)
        self.assertEqual(body, pattern(10))

    def test_stall_stops_sending_mid_body(self):
        connection = socket.create_connection(("127.0.0.1", self.port), timeout=1)
        connection.sendall(b"GET /scenario/stall?size=10000&stall_after=4000&stall=3 HTTP/1.1\r\nHost: x\r\n\r\n")
        received = b""
        with self.assertRaises(socket.timeout):
            while True:
                piece = connection.recv(65536)
                if not piece:
                    break
                received += piece
        connection.close()
        self.assertEqual(len(received.split(b"\r\n\r\n", 1)[1]), 4000)

    def test_extension_adds_routes(self):
        response, body = self.request("/extension/world")
        self.assertEqual(response.status, 201)
        self.assertEqual(body, b"hello world")

    def test_every_request_is_logged(self):
        self.request("/scenario/status/200?tag=logged&x=1", method="HEAD",
                     headers={"Accept-Encoding": "gzip, deflate", "User-Agent": "LogTest/1"})
        entries = [e for e in self.logged("/scenario/status/200") if e["args"].get("tag") == "logged"]
        self.assertEqual(len(entries), 1)
        entry = entries[0]
        self.assertEqual(entry["method"], "HEAD")
        self.assertEqual(entry["query"], "tag=logged&x=1")
        self.assertEqual(entry["headers"]["Accept-Encoding"], "gzip, deflate")
        self.assertEqual(entry["headers"]["User-Agent"], "LogTest/1")
        self.assertFalse(entry["tls"])


if __name__ == "__main__":
    unittest.main()
