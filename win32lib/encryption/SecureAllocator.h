#pragma once

// Deciphered addresses and pictures live only in containers using this
// allocator, so that plain text does not linger in freed heap blocks.
// Portable C++ (no Windows headers): the build-time store generator shares it.

#include <cstddef>
#include <memory>
#include <new>
#include <string>
#include <string_view>

namespace win32lib::encryption {

// Overwrites a block with zeros in a way the optimiser may not drop because
// the memory is about to be freed.
inline void secureWipe(void *block, std::size_t size) noexcept
{
    volatile unsigned char *bytes = static_cast<volatile unsigned char *>(block);
    for (std::size_t i = 0; i < size; ++i) {
        bytes[i] = 0;
    }
}

template <typename T> class SecureAllocator {
public:
    using value_type = T;

    SecureAllocator() noexcept = default;
    template <typename U> SecureAllocator(const SecureAllocator<U> &) noexcept {}

    [[nodiscard]] T *allocate(std::size_t count) { return static_cast<T *>(::operator new(count * sizeof(T))); }

    void deallocate(T *block, std::size_t count) noexcept
    {
        secureWipe(block, count * sizeof(T));
        ::operator delete(block);
    }

    template <typename U> bool operator==(const SecureAllocator<U> &) const noexcept { return true; }
};

using SecureString = std::basic_string<char, std::char_traits<char>, SecureAllocator<char>>;
using SecureWString = std::basic_string<wchar_t, std::char_traits<wchar_t>, SecureAllocator<wchar_t>>;

// Deciphered text shared by reference count between the decoder and its caller.
using SharedSecureString = std::shared_ptr<const SecureString>;
using SharedSecureWString = std::shared_ptr<const SecureWString>;

// The string object and its control block share one block from the wiping
// allocator, so that a short text kept inside the string object itself
// (small-string buffer) is wiped on release as well as a heap buffer.
template <typename S> [[nodiscard]] std::shared_ptr<S> makeSecureShared()
{
    return std::allocate_shared<S>(SecureAllocator<S>());
}

// A plain std::wstring copy of protected text for an interface that takes
// one (the HTTP client's URLs and user agent), wiped when it goes.
class TransientWString {
public:
    explicit TransientWString(std::wstring_view text) : text_(text) {}
    TransientWString(const TransientWString &) = delete;
    TransientWString &operator=(const TransientWString &) = delete;
    ~TransientWString() { secureWipe(text_.data(), text_.capacity() * sizeof(wchar_t)); }

    [[nodiscard]] const std::wstring &get() const noexcept { return text_; }

private:
    std::wstring text_;
};

} // namespace win32lib::encryption
