// Text for the terminal and for JSON: names as modules store them (UTF-16) and paths as bytes,
// turned into UTF-8 that any reader accepts.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace gg::tool {

// UTF-16 as UTF-8; a lone surrogate becomes U+FFFD.
std::string utf8FromUtf16(std::u16string_view text);

// The bytes as UTF-8: each byte that does not belong to a well-formed sequence (a stray byte, a
// cut or overlong sequence, an encoded surrogate, a code point past U+10FFFF) becomes U+FFFD.
std::string validUtf8(std::string_view bytes);

// Standard base64 with padding.
std::string base64(std::string_view bytes);

} // namespace gg::tool
