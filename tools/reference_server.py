#!/usr/bin/env python3
"""Reference installation server for the demo, the tests and the benchmarks.

Serves files from a document root and scripted answers over HTTP and HTTPS on
loopback only, and records every request as one JSON line in a log file.

Listeners are given as NAME=SCHEME:PORT[:CERT:KEY]; port 0 picks a free port.
The ports actually bound are written to --ready-file as "NAME PORT" lines once
the server accepts connections, so a test runner can start it without races:

  reference_server.py --root DIR --log requests.jsonl --ready-file ports \\
      --listen http=http:0 --listen https=https:0:server.pem:server.key

Routes (first match wins):
  /files/<path>             a file of the document root, streamed
  /scenario/<name>[/<arg>]  a scripted answer, see SCENARIOS below
  anything else             a file of the document root, or 404
More are added with @route, in this file or in a module given with
--extension (loaded before the listeners start; its routes are tried after
/files and /scenario, before the document root):

  # my_routes.py
  from reference_server import route

  @route(r"^/kestrune/updates\.xml$")
  def manifest(request, match):
      request.send_body(200, b"<updates/>", "application/xml")

installation_contract.py beside this file is always loaded: it adds the
installer's manifest, packages, probe and telemetry addresses, set up with
--contract NAME=VALUE (see its own text).

Query parameters shaping every scripted answer (defaults come from the
scenario's table entry):
  code=N          status code (200)
  size=N          body of N pattern bytes: byte i is (i * 31 + 7) % 251
  text=T          body is the UTF-8 text T instead
  encoding=E      identity, gzip, zlib-gzip (zlib stream labelled gzip),
                  deflate, gzip-truncated, gzip-trailing, gzip-bomb (a
                  valid gzip stream of `size` zero bytes, about 1/1000 of
                  that on the wire; size rounded down to whole MiB)
  framing=F       length (Content-Length), chunked, close (no length; the
                  connection is closed after the body)
  declared=N      Content-Length sent instead of the real one (then closes)
  length_text=T   the Content-Length header's text, as given (then closes)
  content_encoding=T  a Content-Encoding header with this text; the body
                  is not encoded by it
  delay=S         seconds to wait before the answer
  drop=M          close without any answer: "close" (FIN) or "reset" (RST)
  stall_after=N   stop sending after N body bytes ...
  stall=S         ... for S seconds (30), then close
  cut=M           at stall_after, instead of stalling: "close" (FIN) or
                  "reset" (RST) the connection
  rate=B          throttle the body to B bytes per second
  fail_first=K    the first K requests with this exact path and query are
                  dropped (fail_mode: close, reset, stall, code:NNN)
The same throttle applies to /files/ with ?rate=B or the --rate option.

Files (/files/, the document root, and the contract's packages) carry an
ETag and a Last-Modified date and honour a single "Range: bytes=N-" or
"bytes=N-M" (206 with Content-Range, 416 past the end) unless an If-Range
names another validator. Query parameters for files:
  rate=B          throttle, as above
  cut_after=N     the first request with this exact path and query stops
                  after N body bytes ...
  cut=M           ... and closes ("close", the default) or resets ("reset")
  etag=changing   every answer names another ETag, as if the file changed
                  in between, so that no If-Range matches
An answer to a ranged or cut request is followed in the log by a line
{"event": "sent", "path": ..., "query": ..., "status": ..., "bytes": N}
with the body bytes actually written.
"""

import argparse
import datetime
import email.utils
import functools
import gzip
import http.server
import importlib.util
import json
import os
import re
import socket
import socketserver
import ssl
import struct
import sys
import threading
import time
import urllib.parse
import zlib

LOOPBACK = "127.0.0.1"
PATTERN_PERIOD = 251
# A whole number of pattern periods, so that consecutive blocks continue the pattern.
PATTERN_BLOCK = bytes((i * 31 + 7) % PATTERN_PERIOD for i in range(PATTERN_PERIOD * 256))
SEND_CHUNK = 256 * 1024

# Scenario name -> default parameters; the query string overrides them.
SCENARIOS = {
    "status": {},                                  # /scenario/status/404?size=10
    "body": {},
    "chunked": {"framing": "chunked"},
    "close": {"framing": "close"},
    "short": {"size": "1000", "declared": "2000"},
    "gzip": {"encoding": "gzip"},
    "zlib-gzip": {"encoding": "zlib-gzip"},
    "deflate": {"encoding": "deflate"},
    "gzip-truncated": {"encoding": "gzip-truncated"},
    "gzip-trailing": {"encoding": "gzip-trailing"},
    "gzip-bomb": {"encoding": "gzip-bomb", "size": str(1 << 30)},
    "slow": {"delay": "5", "size": "100"},
    "drop": {"drop": "close"},
    "reset": {"drop": "reset"},
    "stall": {"size": "100000", "stall_after": "40000", "stall": "30"},
    "cut": {"size": "100000", "stall_after": "40000", "cut": "reset"},
    "large": {"size": str(64 * 1024 * 1024)},
}

ROUTES = []


def route(pattern):
    """Registers a handler for paths matching `pattern` (a regular expression).

    The handler is called as handler(request, match) where request is the
    RequestHandler; it answers through the request's helpers (send_body,
    send_stream, send_scenario) or writes to it directly.
    """

    def register(handler):
        ROUTES.append((re.compile(pattern), handler))
        return handler

    return register


def pattern_bytes(offset, length):
    """Pattern bytes [offset, offset + length)."""
    start = offset % PATTERN_PERIOD
    out = bytearray()
    while length > 0:
        piece = PATTERN_BLOCK[start:start + length]
        out += piece
        length -= len(piece)
        start = 0
    return bytes(out)


def pattern_stream(size):
    offset = 0
    while offset < size:
        piece = min(SEND_CHUNK, size - offset)
        yield pattern_bytes(offset, piece)
        offset += piece


@functools.lru_cache(maxsize=4)
def gzip_bomb(size):
    """A gzip stream of `size` zero bytes (whole MiB), built from one
    compressed MiB repeated: after a full flush deflate's output for the same
    input is the same bytes, so the pieces join into one valid stream."""
    piece = bytes(1 << 20)
    count = size // len(piece)
    packer = zlib.compressobj(9, zlib.DEFLATED, -15)
    block = packer.compress(piece) + packer.flush(zlib.Z_FULL_FLUSH)
    crc = 0
    for _ in range(count):
        crc = zlib.crc32(piece, crc)
    header = b"\x1f\x8b\x08\x00\x00\x00\x00\x00\x02\xff"
    trailer = struct.pack("<II", crc, (count * len(piece)) & 0xFFFFFFFF)
    return header + block * count + packer.flush(zlib.Z_FINISH) + trailer


def encode_body(data, encoding):
    """(bytes on the wire, Content-Encoding header or None)."""
    if encoding in ("", "identity"):
        return data, None
    if encoding == "gzip":
        return gzip.compress(data, mtime=0), "gzip"
    if encoding == "zlib-gzip":
        return zlib.compress(data), "gzip"
    if encoding == "deflate":
        return zlib.compress(data), "deflate"
    if encoding == "gzip-truncated":
        packed = gzip.compress(data, mtime=0)
        return packed[: max(1, len(packed) // 2)], "gzip"
    if encoding == "gzip-trailing":
        return gzip.compress(data, mtime=0) + b"TRAILING BYTES AFTER THE MEMBER", "gzip"
    raise ValueError("unknown encoding " + encoding)


class ServerState:
    def __init__(self, root, log_path, default_rate):
        self.root = os.path.abspath(root) if root else None
        self.log_path = log_path
        self.default_rate = default_rate
        self.stopping = threading.Event()
        self.lock = threading.Lock()
        self.counters = {}
        self.log_file = open(log_path, "a", encoding="utf-8") if log_path else None

    def record(self, entry):
        line = json.dumps(entry, sort_keys=True)
        with self.lock:
            if self.log_file:
                self.log_file.write(line + "\n")
                self.log_file.flush()

    def count(self, key):
        """How many times `key` was seen before this call."""
        with self.lock:
            seen = self.counters.get(key, 0)
            self.counters[key] = seen + 1
            return seen


class RequestHandler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "KestruneReference/1.0"

    # Quiet console: the JSON log is the record.
    def log_message(self, format, *args):
        pass

    def do_GET(self):
        self.dispatch()

    def do_HEAD(self):
        self.dispatch()

    def do_POST(self):
        self.dispatch()

    @property
    def state(self):
        return self.server.state

    def dispatch(self):
        split = urllib.parse.urlsplit(self.path)
        self.url_path = urllib.parse.unquote(split.path)
        self.query_text = split.query
        self.args = {k: v[-1] for k, v in urllib.parse.parse_qs(split.query, keep_blank_values=True).items()}
        headers = {}
        for name, value in self.headers.items():
            headers[name] = headers[name] + ", " + value if name in headers else value
        self.state.record({
            "time": datetime.datetime.now(datetime.timezone.utc).isoformat(),
            "listener": self.server.listener_name,
            "tls": self.server.tls_context is not None,
            "method": self.command,
            "path": self.url_path,
            "query": self.query_text,
            "args": self.args,
            "headers": headers,
        })
        if "Content-Length" in self.headers:
            self.rfile.read(int(self.headers["Content-Length"]))
        try:
            for pattern, handler in ROUTES:
                match = pattern.match(self.url_path)
                if match:
                    handler(self, match)
                    return
            serve_file(self, self.url_path)
        except (ConnectionError, ssl.SSLError, socket.timeout):
            self.close_connection = True

    # Answer helpers ---------------------------------------------------------

    def send_body(self, code, body, content_type="application/octet-stream", headers=None):
        self.send_response(code)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(body)))
        for name, value in (headers or {}).items():
            self.send_header(name, value)
        self.end_headers()
        if self.command != "HEAD":
            self.wfile.write(body)

    def send_stream(self, code, chunks, length, headers=None, framing="length", rate=0,
                    stall_after=None, stall=30.0, declared=None, cut=None):
        """Streams `chunks` (an iterable of bytes) of `length` bytes in total;
        returns the body bytes written."""
        self.send_response(code)
        if framing == "chunked":
            self.send_header("Transfer-Encoding", "chunked")
        elif framing == "close":
            self.send_header("Connection", "close")
            self.close_connection = True
        else:
            self.send_header("Content-Length", str(length if declared is None else declared))
            if declared is not None and str(declared) != str(length):
                self.close_connection = True
        for name, value in (headers or {}).items():
            self.send_header(name, value)
        self.end_headers()
        if self.command == "HEAD":
            return 0
        started = time.monotonic()
        sent = 0
        for chunk in chunks:
            for piece in slices(chunk, rate):
                if stall_after is not None and sent + len(piece) > stall_after:
                    head = piece[: max(0, stall_after - sent)]
                    self.write_piece(head, framing)
                    self.wfile.flush()
                    sent += len(head)
                    if cut:
                        # Let the client take what was sent: a reset
                        # discards data still queued on this side.
                        self.state.stopping.wait(0.3)
                        self.drop(cut)
                    else:
                        self.state.stopping.wait(stall)
                        self.close_connection = True
                    return sent
                self.write_piece(piece, framing)
                sent += len(piece)
                if rate:
                    ahead = sent / rate - (time.monotonic() - started)
                    if ahead > 0 and self.state.stopping.wait(ahead):
                        return sent
        if framing == "chunked":
            self.wfile.write(b"0\r\n\r\n")
        self.wfile.flush()
        return sent

    def write_piece(self, piece, framing):
        if not piece:
            return
        if framing == "chunked":
            self.wfile.write(b"%x\r\n" % len(piece) + piece + b"\r\n")
        else:
            self.wfile.write(piece)

    def drop(self, mode):
        """Closes the connection without answering; "reset" sends a RST."""
        if mode == "reset":
            self.connection.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
        self.close_connection = True

    def send_scenario(self, params):
        """Answers as the parameters (see the module text) say."""
        fail_first = int(params.get("fail_first", "0"))
        if fail_first and self.state.count(self.command + " " + self.path) < fail_first:
            mode = params.get("fail_mode", "close")
            if mode.startswith("code:"):
                self.send_body(int(mode[5:]), b"scripted failure\n", "text/plain")
            elif mode == "stall":
                self.state.stopping.wait(float(params.get("stall", "30")))
                self.drop("close")
            else:
                self.drop(mode)
            return
        delay = float(params.get("delay", "0"))
        if delay and self.state.stopping.wait(delay):
            return
        if params.get("drop"):
            self.drop(params["drop"])
            return
        code = int(params.get("code", "200"))
        if "text" in params:
            data = params["text"].encode("utf-8")
        else:
            data = None
        size = int(params.get("size", "0")) if data is None else len(data)
        encoding = params.get("encoding", "identity")
        headers = {}
        if encoding in ("", "identity") and data is None:
            chunks = pattern_stream(size)
            length = size
        elif encoding == "gzip-bomb":
            chunks = [gzip_bomb(size)]
            length = len(chunks[0])
            headers["Content-Encoding"] = "gzip"
        else:
            wire, content_encoding = encode_body(data if data is not None else pattern_bytes(0, size), encoding)
            if content_encoding:
                headers["Content-Encoding"] = content_encoding
            chunks = [wire]
            length = len(wire)
        if "content_encoding" in params:
            headers["Content-Encoding"] = params["content_encoding"]
        declared = int(params["declared"]) if "declared" in params else None
        if "length_text" in params:
            declared = params["length_text"]
        stall_after = int(params["stall_after"]) if "stall_after" in params else None
        self.send_stream(code, chunks, length, headers=headers, framing=params.get("framing", "length"),
                         rate=int(params.get("rate", "0")), stall_after=stall_after,
                         stall=float(params.get("stall", "30")), declared=declared, cut=params.get("cut"))


def slices(chunk, rate):
    """Smaller pieces when throttled, so the pace is smooth (about 20 per second)."""
    if not rate:
        yield chunk
        return
    step = max(1024, rate // 20)
    for start in range(0, len(chunk), step):
        yield chunk[start:start + step]


def serve_file(request, relative):
    state = request.state
    if state.root is None:
        request.send_body(404, b"not found\n", "text/plain")
        return
    path = os.path.realpath(os.path.join(state.root, relative.lstrip("/")))
    if not (path == state.root or path.startswith(state.root + os.sep)) or not os.path.isfile(path):
        request.send_body(404, b"not found\n", "text/plain")
        return
    content_type = "application/xml" if path.endswith(".xml") else "application/octet-stream"
    send_file(request, path, content_type, int(request.args.get("rate", state.default_rate or 0)))


def requested_range(range_text, if_range, validators, size):
    """(first, last) byte of a satisfiable single range, "unsatisfiable", or
    None for the whole file (no Range, a form not served, or an If-Range
    naming another validator)."""
    if not range_text:
        return None
    if if_range is not None and if_range not in validators:
        return None
    match = re.fullmatch(r"bytes=(\d+)-(\d*)", range_text.strip())
    if not match:
        return None
    first = int(match.group(1))
    last = int(match.group(2)) if match.group(2) else size - 1
    if first >= size or last < first:
        return "unsatisfiable"
    return first, min(last, size - 1)


def send_file(request, path, content_type, rate):
    """A file with its validators, a range when one is asked for, and the
    cut_after/cut fault of the first request with this path and query."""
    status = os.stat(path)
    size = status.st_size
    etag = '"%x-%x"' % (int(status.st_mtime), size)
    if request.args.get("etag") == "changing":
        etag = '"%x-%x-%d"' % (int(status.st_mtime), size, request.state.count("etag " + request.path))
    last_modified = email.utils.formatdate(status.st_mtime, usegmt=True)
    headers = {"Content-Type": content_type, "Accept-Ranges": "bytes", "ETag": etag, "Last-Modified": last_modified}
    wanted = requested_range(request.headers.get("Range"), request.headers.get("If-Range"), (etag, last_modified),
                             size)
    cut_after = request.args.get("cut_after")
    if cut_after is not None and request.state.count("cut " + request.path) > 0:
        cut_after = None
    if wanted == "unsatisfiable":
        request.send_body(416, b"", content_type, {"Content-Range": "bytes */%d" % size})
        record_sent(request, 416, 0)
        return
    first, last, code = 0, size - 1, 200
    if wanted is not None:
        first, last, code = wanted[0], wanted[1], 206
        headers["Content-Range"] = "bytes %d-%d/%d" % (first, last, size)

    def chunks():
        with open(path, "rb") as source:
            source.seek(first)
            left = last + 1 - first
            while left > 0:
                block = source.read(min(SEND_CHUNK, left))
                if not block:
                    return
                left -= len(block)
                yield block

    sent = request.send_stream(code, chunks(), last + 1 - first, headers=headers, rate=rate,
                               stall_after=None if cut_after is None else int(cut_after),
                               cut=request.args.get("cut", "close") if cut_after is not None else None)
    if wanted is not None or "cut_after" in request.args:
        record_sent(request, code, sent)


def record_sent(request, code, sent):
    request.state.record({"event": "sent", "path": request.url_path, "query": request.query_text, "status": code,
                          "bytes": sent})


@route(r"^/files/(.*)$")
def files_route(request, match):
    serve_file(request, match.group(1))


@route(r"^/scenario/([^/]+)(?:/(.*))?$")
def scenario_route(request, match):
    name, argument = match.group(1), match.group(2)
    if name not in SCENARIOS:
        request.send_body(404, b"unknown scenario\n", "text/plain")
        return
    params = dict(SCENARIOS[name])
    if name == "status" and argument:
        params["code"] = argument
    params.update(request.args)
    request.send_scenario(params)


class Listener(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True
    allow_reuse_address = True
    request_queue_size = 64

    def __init__(self, name, address, family, tls_context, state):
        self.address_family = family
        self.listener_name = name
        self.tls_context = tls_context
        self.state = state
        super().__init__(address, RequestHandler)

    def server_bind(self):
        if self.address_family == socket.AF_INET6:
            self.socket.setsockopt(socket.IPPROTO_IPV6, socket.IPV6_V6ONLY, 1)
        socketserver.TCPServer.server_bind(self)
        self.server_name = "localhost"
        self.server_port = self.server_address[1]

    # The TLS handshake runs on the connection's own thread, so a client that
    # stalls in it holds up nobody else.
    def finish_request(self, request, client_address):
        if self.tls_context is not None:
            try:
                request.settimeout(30)
                request = self.tls_context.wrap_socket(request, server_side=True)
                request.settimeout(None)
            except (OSError, ssl.SSLError):
                return
        super().finish_request(request, client_address)

    def handle_error(self, request, client_address):
        pass


def parse_listener(spec):
    name, _, rest = spec.partition("=")
    parts = rest.split(":")
    if not name or parts[0] not in ("http", "https") or len(parts) not in (2, 4):
        raise argparse.ArgumentTypeError("listener: NAME=http:PORT or NAME=https:PORT:CERT:KEY")
    if parts[0] == "https" and len(parts) != 4:
        raise argparse.ArgumentTypeError("an https listener needs CERT and KEY")
    return name, parts[0], int(parts[1]), parts[2:] if len(parts) == 4 else None


def make_tls_context(cert, key):
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    # WinHTTP is limited to TLS 1.0-1.2 by the client.
    context.minimum_version = ssl.TLSVersion.TLSv1_2
    context.maximum_version = ssl.TLSVersion.TLSv1_2
    context.load_cert_chain(cert, key)
    return context


def start_listener(name, scheme, port, tls_files, state):
    """Binds 127.0.0.1 and, on the same port when it can, ::1 ("localhost" may
    resolve to either)."""
    context = make_tls_context(*tls_files) if scheme == "https" else None
    servers = [Listener(name, (LOOPBACK, port), socket.AF_INET, context, state)]
    bound = servers[0].server_port
    try:
        servers.append(Listener(name, ("::1", bound), socket.AF_INET6, context, state))
    except OSError:
        pass
    for server in servers:
        threading.Thread(target=server.serve_forever, kwargs={"poll_interval": 0.2}, daemon=True).start()
    return servers, bound


def load_extension(path):
    spec = importlib.util.spec_from_file_location("reference_server_extension", path)
    module = importlib.util.module_from_spec(spec)
    sys.modules.setdefault("reference_server", sys.modules[__name__])
    spec.loader.exec_module(module)
    return module


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--listen", action="append", type=parse_listener, default=[],
                        help="NAME=http:PORT or NAME=https:PORT:CERT:KEY (repeatable)")
    parser.add_argument("--port", type=int, help="shorthand for --listen http=http:PORT")
    parser.add_argument("--tls-port", type=int, help="shorthand for --listen https=https:PORT:CERT:KEY")
    parser.add_argument("--cert", help="certificate (PEM) for --tls-port")
    parser.add_argument("--key", help="private key (PEM) for --tls-port")
    parser.add_argument("--root", help="document root")
    parser.add_argument("--log", help="append every request to this file as JSON lines")
    parser.add_argument("--ready-file", help="write 'NAME PORT' lines here once listening")
    parser.add_argument("--rate", type=int, default=0, help="default throttle for files, bytes per second")
    parser.add_argument("--extension", action="append", default=[], help="Python file adding routes")
    parser.add_argument("--contract", action="append", default=[], metavar="NAME=VALUE",
                        help="installation-server setting (see installation_contract.py)")
    args = parser.parse_args(argv)

    listeners = list(args.listen)
    if args.port is not None:
        listeners.append(("http", "http", args.port, None))
    if args.tls_port is not None:
        if not (args.cert and args.key):
            parser.error("--tls-port needs --cert and --key")
        listeners.append(("https", "https", args.tls_port, [args.cert, args.key]))
    if not listeners:
        listeners.append(("http", "http", 18080, None))
    for extension in args.extension:
        load_extension(extension)
    # After the extensions, so that their routes come first.
    contract = load_extension(os.path.join(os.path.dirname(os.path.abspath(__file__)), "installation_contract.py"))
    try:
        contract.configure(args.contract)
    except ValueError as error:
        parser.error(str(error))

    state = ServerState(args.root, args.log, args.rate)
    servers = []
    ports = []
    for name, scheme, port, tls_files in listeners:
        started, bound = start_listener(name, scheme, port, tls_files, state)
        servers += started
        ports.append((name, bound))
        print("reference_server: %s %s://localhost:%d/" % (name, scheme, bound), flush=True)
    if args.ready_file:
        temporary = args.ready_file + ".tmp"
        with open(temporary, "w") as ready:
            ready.writelines("%s %d\n" % port for port in ports)
        os.replace(temporary, args.ready_file)

    stop = threading.Event()

    def request_stop(*_):
        stop.set()

    import signal
    signal.signal(signal.SIGTERM, request_stop)
    signal.signal(signal.SIGINT, request_stop)
    while not stop.wait(0.5):
        pass
    state.stopping.set()
    for server in servers:
        server.shutdown()
        server.server_close()
    return 0


if __name__ == "__main__":
    sys.exit(main())
