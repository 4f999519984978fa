#pragma once

#include "win32lib/http/HttpClient.h"

#include <string>

namespace testsupport {

inline constexpr wchar_t kTestUserAgent[] = L"KestruneHttpTest/1.0";

// Short time-outs so that failures that wait show up quickly.
inline constexpr win32lib::http::HttpTimeouts kShortTimeouts{2000, 2000, 2000, 2000};

inline std::string narrow(const std::wstring &text)
{
    return std::string(text.begin(), text.end());
}

} // namespace testsupport
