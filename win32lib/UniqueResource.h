#pragma once

// The one place that closes Windows handles. Every HANDLE, HKEY, HMODULE,
// HINTERNET, mapping view, find handle and CoTaskMem block the program obtains
// is put into one of these owners on the line that obtains it. The minizip
// archive handle's owner is built on the same template in package/zipFile.h,
// so that users of these owners need no archive headers.

#include <windows.h>
#include <winhttp.h>
#include <wincrypt.h>
#include <bcrypt.h>
#include <objbase.h>
#include <oleauto.h>

#include <cassert>
#include <utility>

namespace win32lib {

template <typename Traits> class UniqueResource {
public:
    using pointer = typename Traits::pointer;

    UniqueResource() noexcept = default;
    explicit UniqueResource(pointer value) noexcept : value_(value) {}
    UniqueResource(const UniqueResource &) = delete;
    UniqueResource &operator=(const UniqueResource &) = delete;
    UniqueResource(UniqueResource &&other) noexcept : value_(other.release()) {}
    UniqueResource &operator=(UniqueResource &&other) noexcept
    {
        if (this != &other) {
            reset(other.release());
        }
        return *this;
    }
    ~UniqueResource() { reset(); }

    [[nodiscard]] pointer get() const noexcept { return value_; }
    [[nodiscard]] bool valid() const noexcept { return value_ != Traits::invalid(); }
    explicit operator bool() const noexcept { return valid(); }

    // Closing must not disturb the error the caller is about to read.
    void reset(pointer value = Traits::invalid()) noexcept
    {
        if (value_ != Traits::invalid()) {
            const DWORD lastError = GetLastError();
            Traits::close(value_);
            SetLastError(lastError);
        }
        value_ = value;
    }

    [[nodiscard]] pointer release() noexcept { return std::exchange(value_, Traits::invalid()); }

    // For out-parameters of Windows functions; the owner must be empty.
    [[nodiscard]] pointer *put() noexcept
    {
        assert(!valid());
        return &value_;
    }

private:
    pointer value_ = Traits::invalid();
};

namespace traits {

struct Handle {
    using pointer = HANDLE;
    static pointer invalid() noexcept { return nullptr; }
    static void close(pointer value) noexcept { ::CloseHandle(value); }
};

struct File {
    using pointer = HANDLE;
    static pointer invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void close(pointer value) noexcept { ::CloseHandle(value); }
};

struct FindHandle {
    using pointer = HANDLE;
    static pointer invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void close(pointer value) noexcept { ::FindClose(value); }
};

struct HKey {
    using pointer = HKEY;
    static pointer invalid() noexcept { return nullptr; }
    static void close(pointer value) noexcept { ::RegCloseKey(value); }
};

struct HModule {
    using pointer = HMODULE;
    static pointer invalid() noexcept { return nullptr; }
    static void close(pointer value) noexcept { ::FreeLibrary(value); }
};

struct HInternet {
    using pointer = HINTERNET;
    static pointer invalid() noexcept { return nullptr; }
    static void close(pointer value) noexcept { ::WinHttpCloseHandle(value); }
};

struct MappedView {
    using pointer = void *;
    static pointer invalid() noexcept { return nullptr; }
    static void close(pointer value) noexcept { ::UnmapViewOfFile(value); }
};

struct LocalMemory {
    using pointer = HLOCAL;
    static pointer invalid() noexcept { return nullptr; }
    static void close(pointer value) noexcept { ::LocalFree(value); }
};

// Strings WinHTTP hands out (proxy settings), freed with GlobalFree.
struct GlobalString {
    using pointer = wchar_t *;
    static pointer invalid() noexcept { return nullptr; }
    static void close(pointer value) noexcept { ::GlobalFree(value); }
};

struct HeapMemory {
    using pointer = void *;
    static pointer invalid() noexcept { return nullptr; }
    static void close(pointer value) noexcept { ::HeapFree(::GetProcessHeap(), 0, value); }
};

struct Hdc {
    using pointer = HDC;
    static pointer invalid() noexcept { return nullptr; }
    static void close(pointer value) noexcept { ::ReleaseDC(nullptr, value); }
};

struct CertContext {
    using pointer = PCCERT_CONTEXT;
    static pointer invalid() noexcept { return nullptr; }
    static void close(pointer value) noexcept { ::CertFreeCertificateContext(value); }
};

struct CertStore {
    using pointer = HCERTSTORE;
    static pointer invalid() noexcept { return nullptr; }
    static void close(pointer value) noexcept { ::CertCloseStore(value, 0); }
};

struct CertChain {
    using pointer = PCCERT_CHAIN_CONTEXT;
    static pointer invalid() noexcept { return nullptr; }
    static void close(pointer value) noexcept { ::CertFreeCertificateChain(value); }
};

struct BCryptAlgorithm {
    using pointer = BCRYPT_ALG_HANDLE;
    static pointer invalid() noexcept { return nullptr; }
    static void close(pointer value) noexcept { ::BCryptCloseAlgorithmProvider(value, 0); }
};

struct BCryptHash {
    using pointer = BCRYPT_HASH_HANDLE;
    static pointer invalid() noexcept { return nullptr; }
    static void close(pointer value) noexcept { ::BCryptDestroyHash(value); }
};

struct Bstr {
    using pointer = BSTR;
    static pointer invalid() noexcept { return nullptr; }
    static void close(pointer value) noexcept { ::SysFreeString(value); }
};

template <typename T> struct CoTaskMem {
    using pointer = T *;
    static pointer invalid() noexcept { return nullptr; }
    static void close(pointer value) noexcept { ::CoTaskMemFree(value); }
};

} // namespace traits

using UniqueHandle = UniqueResource<traits::Handle>;
using UniqueFile = UniqueResource<traits::File>;
using UniqueFindHandle = UniqueResource<traits::FindHandle>;
using UniqueHKey = UniqueResource<traits::HKey>;
using UniqueHModule = UniqueResource<traits::HModule>;
using UniqueHInternet = UniqueResource<traits::HInternet>;
using UniqueMappedView = UniqueResource<traits::MappedView>;
using UniqueLocalMemory = UniqueResource<traits::LocalMemory>;
using UniqueHeapMemory = UniqueResource<traits::HeapMemory>;
using UniqueGlobalString = UniqueResource<traits::GlobalString>;
using UniqueScreenDc = UniqueResource<traits::Hdc>;
using UniqueCertContext = UniqueResource<traits::CertContext>;
using UniqueCertStore = UniqueResource<traits::CertStore>;
using UniqueCertChain = UniqueResource<traits::CertChain>;
using UniqueBCryptAlgorithm = UniqueResource<traits::BCryptAlgorithm>;
using UniqueBCryptHash = UniqueResource<traits::BCryptHash>;
using UniqueBstr = UniqueResource<traits::Bstr>;
template <typename T> using UniqueCoTaskMem = UniqueResource<traits::CoTaskMem<T>>;

// A VARIANT that is cleared on every path.
class UniqueVariant {
public:
    UniqueVariant() noexcept { ::VariantInit(&value_); }
    UniqueVariant(const UniqueVariant &) = delete;
    UniqueVariant &operator=(const UniqueVariant &) = delete;
    ~UniqueVariant() { reset(); }

    void reset() noexcept
    {
        const DWORD lastError = GetLastError();
        ::VariantClear(&value_);
        SetLastError(lastError);
    }
    [[nodiscard]] VARIANT &get() noexcept { return value_; }
    [[nodiscard]] const VARIANT &get() const noexcept { return value_; }

private:
    VARIANT value_;
};

// Runs a one-off clean-up at scope exit.
template <typename F> class ScopeExit {
public:
    explicit ScopeExit(F action) noexcept : action_(std::move(action)) {}
    ScopeExit(const ScopeExit &) = delete;
    ScopeExit &operator=(const ScopeExit &) = delete;
    ~ScopeExit() { action_(); }

private:
    F action_;
};

// COM for the lifetime of a thread; constructed first thing at the thread's entry.
class ScopedComInitializer {
public:
    explicit ScopedComInitializer(DWORD model = COINIT_APARTMENTTHREADED) noexcept
        : result_(::CoInitializeEx(nullptr, model))
    {
    }
    ScopedComInitializer(const ScopedComInitializer &) = delete;
    ScopedComInitializer &operator=(const ScopedComInitializer &) = delete;
    ~ScopedComInitializer()
    {
        if (SUCCEEDED(result_)) {
            ::CoUninitialize();
        }
    }
    [[nodiscard]] bool succeeded() const noexcept { return SUCCEEDED(result_); }
    [[nodiscard]] HRESULT result() const noexcept { return result_; }

private:
    HRESULT result_;
};

} // namespace win32lib
