#include "tests/support/process.h"

#include "framework/text/Label.h"
#include "ui/MessageBoxWindow.h"

#include <shellapi.h>

#include <string_view>

namespace testsupport {

ChildProcess::~ChildProcess()
{
    if (process_ && ::WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT) {
        ::TerminateProcess(process_.get(), 0xDEAD);
        ::WaitForSingleObject(process_.get(), 5000);
    }
}

std::optional<ChildProcess> ChildProcess::start(const std::wstring &commandLine, const std::wstring &directory,
                                                const std::vector<std::wstring> &extraEnvironment)
{
    std::wstring environment;
    if (!extraEnvironment.empty()) {
        auto overridden = [&](const wchar_t *entry) {
            const std::wstring_view name(entry, wcscspn(entry + 1, L"=") + 1);
            for (const std::wstring &extra : extraEnvironment) {
                if (extra.size() > name.size() && extra[name.size()] == L'=' &&
                    _wcsnicmp(extra.c_str(), name.data(), name.size()) == 0) {
                    return true;
                }
            }
            return false;
        };
        const wchar_t *current = ::GetEnvironmentStringsW();
        for (const wchar_t *entry = current; *entry != L'\0'; entry += wcslen(entry) + 1) {
            if (!overridden(entry)) {
                environment.append(entry);
                environment.push_back(L'\0');
            }
        }
        ::FreeEnvironmentStringsW(const_cast<wchar_t *>(current));
        for (const std::wstring &entry : extraEnvironment) {
            environment.append(entry);
            environment.push_back(L'\0');
        }
        environment.push_back(L'\0');
    }
    std::wstring mutableCommand = commandLine;
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    if (!::CreateProcessW(nullptr, mutableCommand.data(), nullptr, nullptr, FALSE, CREATE_UNICODE_ENVIRONMENT,
                          environment.empty() ? nullptr : environment.data(),
                          directory.empty() ? nullptr : directory.c_str(), &startup, &info)) {
        return std::nullopt;
    }
    ::CloseHandle(info.hThread);
    ChildProcess child;
    child.process_.reset(info.hProcess);
    child.processId_ = info.dwProcessId;
    return child;
}

std::optional<ChildProcess> ChildProcess::startWith(const std::wstring &commandLine, HANDLE parent, DWORD creationFlags)
{
    SIZE_T listSize = 0;
    ::InitializeProcThreadAttributeList(nullptr, 1, 0, &listSize);
    std::vector<unsigned char> listBytes(listSize);
    auto *list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(listBytes.data());
    if (!::InitializeProcThreadAttributeList(list, 1, 0, &listSize)) {
        return std::nullopt;
    }
    STARTUPINFOEXW startup = {};
    startup.StartupInfo.cb = sizeof(startup);
    if (parent != nullptr) {
        if (!::UpdateProcThreadAttribute(list, 0, PROC_THREAD_ATTRIBUTE_PARENT_PROCESS, &parent, sizeof(parent),
                                         nullptr, nullptr)) {
            ::DeleteProcThreadAttributeList(list);
            return std::nullopt;
        }
        startup.lpAttributeList = list;
    }
    std::wstring mutableCommand = commandLine;
    PROCESS_INFORMATION info = {};
    const BOOL started =
        ::CreateProcessW(nullptr, mutableCommand.data(), nullptr, nullptr, FALSE,
                         creationFlags | EXTENDED_STARTUPINFO_PRESENT, nullptr, nullptr, &startup.StartupInfo, &info);
    ::DeleteProcThreadAttributeList(list);
    if (!started) {
        return std::nullopt;
    }
    ::CloseHandle(info.hThread);
    ChildProcess child;
    child.process_.reset(info.hProcess);
    child.processId_ = info.dwProcessId;
    return child;
}

std::optional<DWORD> ChildProcess::wait(DWORD timeoutMs)
{
    if (::WaitForSingleObject(process_.get(), timeoutMs) != WAIT_OBJECT_0) {
        return std::nullopt;
    }
    DWORD code = 0;
    if (!::GetExitCodeProcess(process_.get(), &code)) {
        return std::nullopt;
    }
    return code;
}

namespace {

struct WindowSearch {
    DWORD processId;
    std::vector<HWND> found;
};

BOOL CALLBACK collectProcessWindow(HWND window, LPARAM parameter)
{
    auto *search = reinterpret_cast<WindowSearch *>(parameter);
    DWORD owner = 0;
    ::GetWindowThreadProcessId(window, &owner);
    if (owner == search->processId) {
        search->found.push_back(window);
    }
    return TRUE;
}

BOOL CALLBACK findStaticText(HWND child, LPARAM parameter)
{
    if (windowClass(child) == L"Static") {
        const std::wstring value = windowText(child);
        if (!value.empty()) {
            *reinterpret_cast<std::wstring *>(parameter) = value;
            return FALSE;
        }
    }
    return TRUE;
}

} // namespace

std::vector<HWND> ChildProcess::windows() const
{
    WindowSearch search{processId_, {}};
    ::EnumWindows(collectProcessWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND ChildProcess::waitForWindow(const std::function<bool(HWND)> &predicate, DWORD timeoutMs) const
{
    const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
    do {
        for (HWND window : windows()) {
            if (predicate(window)) {
                return window;
            }
        }
        ::Sleep(50);
    } while (::GetTickCount64() < deadline && ::WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT);
    return nullptr;
}

std::wstring windowText(HWND window)
{
    wchar_t text[1024] = {};
    ::GetWindowTextW(window, text, 1024);
    return text;
}

std::wstring windowClass(HWND window)
{
    wchar_t name[256] = {};
    ::GetClassNameW(window, name, 256);
    return name;
}

std::wstring messageBoxText(HWND box)
{
    // The application's own box draws its text: only a box of this process
    // can be read, from its element tree.
    if (windowClass(box) == L"MessageBox") {
        DWORD processId = 0;
        ::GetWindowThreadProcessId(box, &processId);
        auto *window = reinterpret_cast<ui::MessageBoxWindow *>(::GetWindowLongPtrW(box, GWLP_USERDATA));
        if (processId != ::GetCurrentProcessId() || window == nullptr || window->getCurrentView() == nullptr) {
            return {};
        }
        for (const auto &child : window->getCurrentView()->children) {
            if (auto *label = dynamic_cast<const framework::text::Label *>(child.get())) {
                return label->text;
            }
        }
        return {};
    }
    std::wstring text;
    ::EnumChildWindows(box, findStaticText, reinterpret_cast<LPARAM>(&text));
    return text;
}

TempFolder::TempFolder()
{
    wchar_t base[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, base);
    static unsigned counter = 0;
    path_ = std::wstring(base) + L"kestrune-test-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
            std::to_wstring(++counter) + L"-" + std::to_wstring(::GetTickCount64());
    ::CreateDirectoryW(path_.c_str(), nullptr);
}

TempFolder::~TempFolder()
{
    removeTree(path_);
}

void removeTree(const std::wstring &path)
{
    std::wstring from = path;
    from.push_back(L'\0');
    SHFILEOPSTRUCTW operation = {};
    operation.wFunc = FO_DELETE;
    operation.pFrom = from.c_str();
    operation.fFlags = FOF_SILENT | FOF_NOCONFIRMATION | FOF_NOERRORUI | FOF_NOCONFIRMMKDIR;
    ::SHFileOperationW(&operation);
}

bool fileExists(const std::wstring &path)
{
    return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool writeFile(const std::wstring &path, const std::string &bytes)
{
    win32lib::UniqueFile file(
        ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        return false;
    }
    DWORD written = 0;
    return ::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
}

std::optional<std::string> readFile(const std::wstring &path)
{
    win32lib::UniqueFile file(
        ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file) {
        return std::nullopt;
    }
    std::string bytes;
    char buffer[65536];
    DWORD got = 0;
    while (::ReadFile(file.get(), buffer, sizeof(buffer), &got, nullptr) && got > 0) {
        bytes.append(buffer, got);
    }
    return bytes;
}

} // namespace testsupport
