#pragma once

#include <string>

namespace app {

// LoadStringW into 250 characters: a longer text is cut to 249.
constexpr int kStringBufferLength = 250;

[[nodiscard]] std::wstring loadString(unsigned id);

// UTF-8 text of an RCDATA resource of the program's own module. Any failing
// step returns false and leaves `out` as it was.
[[nodiscard]] bool loadResourceText(unsigned id, std::wstring &out);

// Every character the string table's texts use, each once, in ascending
// order; line breaks and tabs are left out.
[[nodiscard]] std::wstring programCharacters();

// The same for one block of the string table as stored in a module: sixteen
// texts, each a length then that many UTF-16 units. Added to `characters`.
void addStringBlockCharacters(const wchar_t *block, size_t blockLength, std::wstring &characters);

} // namespace app
