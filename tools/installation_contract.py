"""The installation server's side of what the installer sends and relies on,
loaded by reference_server.py. Settings come from its --contract NAME=VALUE
options; a GET of /control?NAME=VALUE&... changes them while it runs.

Settings (defaults in brackets):
  last_version=T     manifest lastVersion [5.2.0.1700]
  min_size=T         manifest minSize, digits with an optional KB/MB/GB [150MB]
  package_x64=PATH   file served as the 64-bit package [<root>/kestrune/packages/x64.zip]
  package_x32=PATH   file served as the 32-bit package [<root>/kestrune/packages/x32.zip]
  manifest_status=N  status of the manifest answer, e.g. 465 or 503 [200]
  package_status=N   status of the package answers [200]
  manifest_encoding=E  identity, gzip or gzip-bomb (a gzip stream that
                     decodes to 1 GiB) [identity]
  telemetry_log=PATH  also append each telemetry request, one line each
  x64_url=URL, x32_url=URL   the manifest's download addresses instead of
                     this server's package addresses (e.g. a /scenario/ one)
  manifest_file=PATH  file served as the manifest body, as it is
  package_rate=B     throttle the packages to B bytes per second [0: no limit]
  package_sha256=H   the "sha256" attribute of the manifest's x32 and x64
                     entries that name this server's packages [auto]: "auto"
                     (the served file's SHA-256), "none" (no attribute),
                     "wrong" (64 hex digits of another file), "malformed"
                     (not 64 hex digits), or the attribute's text itself;
                     entries set by x64_url/x32_url or a query get none
  manifest_fault=F, probe_fault=F, telemetry_fault=F
                     how those addresses misbehave [none]: "close" or "reset"
                     (no answer), "delay:S" (answer after S seconds),
                     "stall:S" (no answer for S seconds, then close)

Addresses (the compiled-in defaults point here, on 127.0.0.1:18080):
  /kestrune/updates.xml            the manifest: <root>/kestrune/updates.xml when
                                   that file exists, else made from the settings;
                                   query parameters override them for one answer:
                                   version, x32, x64, min_size (these make it from
                                   the settings), code, encoding (identity, gzip
                                   or gzip-bomb)
  /kestrune/packages/x64.zip, x32.zip   the packages; ?code=N for one answer;
                                   ranges and the cut_after fault as for files
  /probe                           the connectivity probe: 200 "ok"
  /telemetry/log_success, log_error, log_stop, log_winhttp_error,
  /telemetry/installed             the reports: 200 with no body
  /welcome.html                    the page opened after an installation
  /telemetry-events                the telemetry requests so far, one a line
"""

import gzip
import hashlib
import os
import threading
import xml.sax.saxutils

import reference_server
from reference_server import route

SETTINGS = {
    "last_version": "5.2.0.1700",
    "min_size": "150MB",
    "package_x64": "",
    "package_x32": "",
    "manifest_status": "200",
    "package_status": "200",
    "manifest_encoding": "identity",
    "telemetry_log": "",
    "x64_url": "",
    "x32_url": "",
    "manifest_file": "",
    "package_rate": "0",
    "package_sha256": "auto",
    "manifest_fault": "",
    "probe_fault": "",
    "telemetry_fault": "",
}

MANIFEST_TEMPLATE = """<?xml version="1.0" encoding="utf-8"?>
<updates>
  <lastVersion>{version}</lastVersion>
  <downloadUrl>
    <x32{x32_hash}>{x32}</x32>
    <x64{x64_hash}>{x64}</x64>
  </downloadUrl>
  <minSize>{min_size}</minSize>
</updates>
"""

FAULTS = ("close", "reset", "delay", "stall")
# Well formed, and the SHA-256 of no package: that of empty input, last digit changed.
WRONG_SHA256 = "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b856"
MALFORMED_SHA256 = "not-a-sha256-digest"

_events = []
_lock = threading.Lock()


def configure(pairs):
    for pair in pairs:
        name, separator, value = pair.partition("=")
        if not separator or name not in SETTINGS:
            raise ValueError("unknown contract setting: " + pair)
        if name.endswith("_fault") and value and value.partition(":")[0] not in FAULTS:
            raise ValueError("unknown fault: " + pair)
        SETTINGS[name] = value


def _misbehave(request, setting):
    """Applies the fault a setting names; True when no answer must follow."""
    fault = SETTINGS[setting]
    if not fault:
        return False
    mode, _, seconds = fault.partition(":")
    if mode in ("close", "reset"):
        request.drop(mode)
        return True
    if mode == "delay":
        return request.state.stopping.wait(float(seconds or "5"))
    if mode == "stall":
        request.state.stopping.wait(float(seconds or "30"))
        request.drop("close")
        return True
    raise ValueError("unknown fault: " + fault)


def _package_path(request, word_size):
    path = SETTINGS["package_" + word_size]
    if not path and request.state.root:
        path = os.path.join(request.state.root, "kestrune", "packages", word_size + ".zip")
    return path


def _sha256_of(path):
    digest = hashlib.sha256()
    with open(path, "rb") as source:
        for block in iter(lambda: source.read(1 << 20), b""):
            digest.update(block)
    return digest.hexdigest()


def _hash_attribute(request, word_size, own_address):
    """The entry's sha256 attribute text (with its leading space), or ""."""
    mode = SETTINGS["package_sha256"]
    if not own_address or mode == "none":
        return ""
    if mode == "wrong":
        value = WRONG_SHA256
    elif mode == "malformed":
        value = MALFORMED_SHA256
    elif mode == "auto":
        path = _package_path(request, word_size)
        if not path or not os.path.isfile(path):
            return ""
        value = _sha256_of(path)
    else:
        value = mode
    return ' sha256="%s"' % xml.sax.saxutils.escape(value, {'"': "&quot;"})


def _base_address(request):
    scheme = "https" if request.server.tls_context is not None else "http"
    host = request.headers.get("Host") or "127.0.0.1:%d" % request.server.server_port
    return "%s://%s" % (scheme, host)


@route(r"^/kestrune/updates\.xml$")
def manifest_route(request, match):
    args = request.args
    if _misbehave(request, "manifest_fault"):
        return
    base = _base_address(request)
    code = int(args.get("code", SETTINGS["manifest_status"]))
    if code != 200:
        request.send_body(code, b"manifest refused\n", "text/plain")
        return
    static = os.path.join(request.state.root, "kestrune", "updates.xml") if request.state.root else ""
    if SETTINGS["manifest_file"] and not any(name in args for name in ("version", "x32", "x64", "min_size")):
        with open(SETTINGS["manifest_file"], "rb") as source:
            body = source.read()
    elif static and os.path.isfile(static) and not any(name in args for name in ("version", "x32", "x64", "min_size")):
        with open(static, "rb") as source:
            body = source.read()
    else:
        escape = xml.sax.saxutils.escape
        own32 = "x32" not in args and not SETTINGS["x32_url"]
        own64 = "x64" not in args and not SETTINGS["x64_url"]
        document = MANIFEST_TEMPLATE.format(
            version=escape(args.get("version", SETTINGS["last_version"])),
            x32=escape(args.get("x32", SETTINGS["x32_url"] or base + "/kestrune/packages/x32.zip")),
            x64=escape(args.get("x64", SETTINGS["x64_url"] or base + "/kestrune/packages/x64.zip")),
            x32_hash=_hash_attribute(request, "x32", own32),
            x64_hash=_hash_attribute(request, "x64", own64),
            min_size=escape(args.get("min_size", SETTINGS["min_size"])))
        body = document.encode("utf-8")
    headers = {}
    encoding = args.get("encoding", SETTINGS["manifest_encoding"])
    if encoding == "gzip":
        body = gzip.compress(body, mtime=0)
        headers["Content-Encoding"] = "gzip"
    elif encoding == "gzip-bomb":
        body = reference_server.gzip_bomb(1 << 30)
        headers["Content-Encoding"] = "gzip"
    request.send_body(200, body, "application/xml", headers)


@route(r"^/kestrune/packages/(x64|x32)\.zip$")
def package_route(request, match):
    code = int(request.args.get("code", SETTINGS["package_status"]))
    if code != 200:
        request.send_body(code, b"package refused\n", "text/plain")
        return
    path = _package_path(request, match.group(1))
    if not path or not os.path.isfile(path):
        request.send_body(404, b"no package\n", "text/plain")
        return
    rate = int(request.args.get("rate", int(SETTINGS["package_rate"]) or request.state.default_rate or 0))
    reference_server.send_file(request, path, "application/zip", rate)


@route(r"^/probe$")
def probe_route(request, match):
    if _misbehave(request, "probe_fault"):
        return
    request.send_body(200, b"ok\n", "text/plain")


@route(r"^/telemetry/(log_success|log_error|log_stop|log_winhttp_error|installed)$")
def telemetry_route(request, match):
    line = "%s %s" % (request.command, request.path)
    with _lock:
        _events.append(line)
        if SETTINGS["telemetry_log"]:
            with open(SETTINGS["telemetry_log"], "a", encoding="utf-8") as log:
                log.write(line + "\n")
    print("telemetry: " + line, flush=True)
    if _misbehave(request, "telemetry_fault"):
        return
    request.send_body(200, b"", "text/plain")


@route(r"^/telemetry-events$")
def telemetry_events_route(request, match):
    with _lock:
        text = "".join(line + "\n" for line in _events)
    request.send_body(200, text.encode("utf-8"), "text/plain")


@route(r"^/control$")
def control_route(request, match):
    try:
        configure("%s=%s" % item for item in request.args.items())
    except ValueError as error:
        request.send_body(400, (str(error) + "\n").encode("utf-8"), "text/plain")
        return
    request.send_body(200, b"ok\n", "text/plain")


@route(r"^/welcome\.html$")
def welcome_route(request, match):
    page = (b"<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>Welcome to Kestrune</title></head>"
            b"<body><h1>Kestrune is installed</h1><p>Thank you for installing Kestrune.</p></body></html>\n")
    request.send_body(200, page, "text/html; charset=utf-8")
