#include "referenceServer.h"

#include "process.h"

#include <windows.h>

#include <sstream>

namespace testsupport {

std::wstring environmentValue(const wchar_t *name)
{
    wchar_t buffer[1024];
    const DWORD length = ::GetEnvironmentVariableW(name, buffer, ARRAYSIZE(buffer));
    if (length == 0 || length >= ARRAYSIZE(buffer)) {
        return {};
    }
    return std::wstring(buffer, length);
}

std::wstring ReferenceServer::http(const std::wstring &pathAndQuery)
{
    return L"http://127.0.0.1:" + environmentValue(L"KESTRUNE_TEST_HTTP_PORT") + pathAndQuery;
}

std::wstring ReferenceServer::https(const std::wstring &pathAndQuery)
{
    return L"https://localhost:" + environmentValue(L"KESTRUNE_TEST_HTTPS_PORT") + pathAndQuery;
}

std::wstring ReferenceServer::httpsUntrusted(const std::wstring &pathAndQuery)
{
    return L"https://localhost:" + environmentValue(L"KESTRUNE_TEST_HTTPS_UNTRUSTED_PORT") + pathAndQuery;
}

std::wstring ReferenceServer::tlsFile(const std::wstring &name)
{
    return environmentValue(L"KESTRUNE_TEST_TLS_DIR") + L"\\" + name;
}

std::wstring ReferenceServer::documentRoot()
{
    return environmentValue(L"KESTRUNE_TEST_SERVER_ROOT");
}

std::wstring ReferenceServer::smallDrive()
{
    return environmentValue(L"KESTRUNE_TEST_SMALL_DRIVE");
}

std::vector<std::string> ReferenceServer::requestLog()
{
    std::vector<std::string> lines;
    const auto text = readFile(environmentValue(L"KESTRUNE_TEST_SERVER_LOG"));
    if (!text) {
        return lines;
    }
    std::istringstream stream(*text);
    for (std::string line; std::getline(stream, line);) {
        if (!line.empty()) {
            lines.push_back(line);
        }
    }
    return lines;
}

std::vector<std::string> ReferenceServer::requestsTo(const std::string &path)
{
    const std::string needle = "\"path\": \"" + path + "\"";
    std::vector<std::string> matching;
    for (auto &line : requestLog()) {
        if (line.find(needle) != std::string::npos) {
            matching.push_back(std::move(line));
        }
    }
    return matching;
}

std::vector<uint8_t> patternBytes(size_t size)
{
    std::vector<uint8_t> bytes(size);
    for (size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<uint8_t>((i * 31 + 7) % 251);
    }
    return bytes;
}

} // namespace testsupport
