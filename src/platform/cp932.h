// Decoding of archive names from code page 932 (Shift-JIS as Windows has it)
// to UTF-8.  Only the POSIX build decodes: Windows converts names itself.
#pragma once

#include <string>

namespace plat {

// Bytes that open a double-byte character, and bytes that can close one.
inline bool IsCp932Lead(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }
inline bool IsCp932Trail(unsigned char c) { return (c >= 0x40 && c <= 0x7E) || (c >= 0x80 && c <= 0xFC); }

// The UTF-8 form of a code page 932 string, taken one character at a time:
// a byte below 0x80 stays; 0xA1-0xDF are half-width katakana; a lead byte
// (0x81-0x9F, 0xE0-0xFC) and a trail byte (0x40-0x7E, 0x80-0xFC) after it are
// one character, U+30FB where the code page has none for the pair; any other
// byte (a lead byte without a trail byte included) becomes U+30FB on its own
// and the next byte starts afresh.
std::string DecodeCp932(const std::string& bytes);

}  // namespace plat
