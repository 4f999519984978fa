#pragma once

#include <winsock2.h>

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace testsupport {

// A loopback listener whose accept queue is kept full, so that the kernel
// leaves further connection attempts unanswered until it is freed.
class SilentListener {
public:
    SilentListener()
    {
        WSADATA data;
        started_ = ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
        listener_ = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        int length = sizeof(address);
        if (listener_ == INVALID_SOCKET || ::bind(listener_, reinterpret_cast<sockaddr *>(&address), sizeof(address)) ||
            ::getsockname(listener_, reinterpret_cast<sockaddr *>(&address), &length) || ::listen(listener_, 0)) {
            return;
        }
        port_ = ntohs(address.sin_port);
        for (int i = 0; i < 4; ++i) {
            SOCKET filler = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
            u_long nonBlocking = 1;
            ::ioctlsocket(filler, FIONBIO, &nonBlocking);
            ::connect(filler, reinterpret_cast<sockaddr *>(&address), sizeof(address));
            fillers_.push_back(filler);
        }
        ::Sleep(200);
    }

    ~SilentListener()
    {
        closeFillers();
        if (listener_ != INVALID_SOCKET) {
            ::closesocket(listener_);
        }
        if (started_) {
            ::WSACleanup();
        }
    }

    [[nodiscard]] bool listening() const { return port_ != 0; }
    [[nodiscard]] std::wstring url(const std::wstring &path) const
    {
        return L"http://127.0.0.1:" + std::to_wstring(port_) + path;
    }
    [[nodiscard]] unsigned requestsServed() const { return served_; }

    // Waits (at most 30 s) until `ready` holds, frees the queue, then answers
    // the first GET with `body`.
    void serveOnceAfter(const std::function<bool()> &ready, const std::vector<uint8_t> &body)
    {
        const ULONGLONG deadline = ::GetTickCount64() + 30000;
        while (!ready()) {
            if (::GetTickCount64() > deadline) {
                return;
            }
            ::Sleep(20);
        }
        closeFillers();
        while (::GetTickCount64() < deadline) {
            fd_set readable;
            FD_ZERO(&readable);
            FD_SET(listener_, &readable);
            timeval wait{1, 0};
            if (::select(0, &readable, nullptr, nullptr, &wait) != 1) {
                continue;
            }
            SOCKET connection = ::accept(listener_, nullptr, nullptr);
            if (connection == INVALID_SOCKET) {
                continue;
            }
            // Queued fillers were closed by their side and send nothing.
            std::string request;
            char buffer[4096];
            int received = 0;
            while (request.find("\r\n\r\n") == std::string::npos &&
                   (received = ::recv(connection, buffer, sizeof(buffer), 0)) > 0) {
                request.append(buffer, static_cast<std::size_t>(received));
            }
            if (request.rfind("GET ", 0) == 0) {
                const std::string head = "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) +
                                         "\r\nConnection: close\r\n\r\n";
                ::send(connection, head.data(), static_cast<int>(head.size()), 0);
                ::send(connection, reinterpret_cast<const char *>(body.data()), static_cast<int>(body.size()), 0);
                ::shutdown(connection, SD_SEND);
                ++served_;
                ::closesocket(connection);
                return;
            }
            ::closesocket(connection);
        }
    }

private:
    void closeFillers()
    {
        for (SOCKET filler : fillers_) {
            ::closesocket(filler);
        }
        fillers_.clear();
    }

    bool started_ = false;
    SOCKET listener_ = INVALID_SOCKET;
    unsigned short port_ = 0;
    std::vector<SOCKET> fillers_;
    unsigned served_ = 0;
};

} // namespace testsupport
