#pragma once

// The reference server's request log read as "METHOD /path?query" lines, and
// a loopback port where nothing listens.

#include <winsock2.h>

#include "tests/support/referenceServer.h"

#include <regex>
#include <string>
#include <vector>

namespace testsupport {

inline std::string jsonField(const std::string &line, const std::string &name)
{
    const std::regex field("\"" + name + "\": \"((?:[^\"\\\\]|\\\\.)*)\"");
    std::smatch match;
    return std::regex_search(line, match, field) ? match[1].str() : std::string();
}

// Requests whose path starts with `prefix`, in the order the server saw
// them, from the `from`-th request of the log on.
inline std::vector<std::string> requestsUnder(const std::string &prefix, std::size_t from = 0)
{
    std::vector<std::string> requests;
    const std::vector<std::string> log = ReferenceServer::requestLog();
    for (std::size_t i = from; i < log.size(); ++i) {
        const std::string &line = log[i];
        const std::string path = jsonField(line, "path");
        if (path.rfind(prefix, 0) == 0) {
            const std::string query = jsonField(line, "query");
            requests.push_back(jsonField(line, "method") + " " + path + (query.empty() ? "" : "?" + query));
        }
    }
    return requests;
}

// A port of 127.0.0.1 that was free a moment ago: connecting to it is refused.
inline unsigned short closedLoopbackPort()
{
    WSADATA data;
    if (::WSAStartup(MAKEWORD(2, 2), &data) != 0) {
        return 0;
    }
    unsigned short port = 0;
    const SOCKET probe = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int length = sizeof(address);
    if (probe != INVALID_SOCKET && ::bind(probe, reinterpret_cast<sockaddr *>(&address), sizeof(address)) == 0 &&
        ::getsockname(probe, reinterpret_cast<sockaddr *>(&address), &length) == 0) {
        port = ntohs(address.sin_port);
    }
    if (probe != INVALID_SOCKET) {
        ::closesocket(probe);
    }
    ::WSACleanup();
    return port;
}

} // namespace testsupport
