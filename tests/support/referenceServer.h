#pragma once

// What support/server-test tells a test program about its reference server.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace testsupport {

// Value of an environment variable, empty when unset.
std::wstring environmentValue(const wchar_t *name);

struct ReferenceServer {
    // "http://127.0.0.1:<port>" + pathAndQuery.
    static std::wstring http(const std::wstring &pathAndQuery);
    // "https://localhost:<port>" + pathAndQuery; the certificate's CA is trusted.
    static std::wstring https(const std::wstring &pathAndQuery);
    // Same host name, certificate from a CA that is not trusted.
    static std::wstring httpsUntrusted(const std::wstring &pathAndQuery);
    // A file made with the TLS set-up (ca.der, server.der, server.sha256,
    // server.pubkey, untrusted.der, untrusted-ca.der).
    static std::wstring tlsFile(const std::wstring &name);
    // The document root (files placed there are served at /files/<name>).
    static std::wstring documentRoot();
    // "T:" when the test was given a small drive, else empty.
    static std::wstring smallDrive();

    // Every request the server has logged so far, one JSON object per line,
    // keys sorted: {"args": {...}, "headers": {...}, "listener": "...",
    // "method": "GET", "path": "/...", "query": "...", "time": "...", "tls": false}.
    static std::vector<std::string> requestLog();
    // The lines whose "path" is exactly `path`.
    static std::vector<std::string> requestsTo(const std::string &path);
};

// The server's body pattern: byte i is (i * 31 + 7) % 251.
std::vector<uint8_t> patternBytes(size_t size);

} // namespace testsupport
