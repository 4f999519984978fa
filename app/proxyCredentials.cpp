#include "app/proxyCredentials.h"

#include "win32lib/UniqueResource.h"

#include <wincred.h>

namespace app {

namespace {

// CREDUI_MAX_USERNAME_LENGTH and CREDUI_MAX_PASSWORD_LENGTH, with terminators.
constexpr DWORD kUserChars = 513 + 1;
constexpr DWORD kPasswordChars = 256 + 1;
constexpr DWORD kDomainChars = 337 + 1;

} // namespace

bool askProxyCredentials(HWND owner, const std::wstring &proxy, std::wstring &user, std::wstring &password)
{
    const std::wstring message = L"The proxy server " + proxy + L" asks for a user name and password.";
    CREDUI_INFOW info{};
    info.cbSize = sizeof(info);
    info.hwndParent = owner;
    info.pszMessageText = message.c_str();
    info.pszCaptionText = L"Kestrune Setup";
    ULONG package = 0;
    win32lib::UniqueCoTaskMem<void> answer;
    ULONG answerBytes = 0;
    // No save check box (null pfSave): the answer lives in memory for this run only.
    if (::CredUIPromptForWindowsCredentialsW(&info, 0, &package, nullptr, 0, answer.put(), &answerBytes, nullptr,
                                             CREDUIWIN_GENERIC) != ERROR_SUCCESS) {
        return false;
    }
    wchar_t userBuffer[kUserChars] = {};
    wchar_t domainBuffer[kDomainChars] = {};
    wchar_t passwordBuffer[kPasswordChars] = {};
    DWORD userLength = kUserChars;
    DWORD domainLength = kDomainChars;
    DWORD passwordLength = kPasswordChars;
    const BOOL unpacked =
        ::CredUnPackAuthenticationBufferW(0, answer.get(), answerBytes, userBuffer, &userLength, domainBuffer,
                                          &domainLength, passwordBuffer, &passwordLength);
    ::SecureZeroMemory(answer.get(), answerBytes);
    if (unpacked) {
        user = userBuffer;
        password = passwordBuffer;
    }
    ::SecureZeroMemory(passwordBuffer, sizeof(passwordBuffer));
    return unpacked != FALSE && !user.empty();
}

} // namespace app
