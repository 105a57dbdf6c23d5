// Code page 932: its character length, and its decoding to UTF-8.  The
// double-byte characters come from a table made from a system converter
// (tools/gen_cp932_table.cpp) and kept beside this file.
#include <cstdint>

#include "names/names.h"

namespace {

#include "names/cp932_table.inc"

// What Windows gives for a byte or pair that is no character: KATAKANA
// MIDDLE DOT.
constexpr uint32_t kNoCharacter = 0x30FB;

// The code point of a lead + trail pair (both checked by the caller).
uint32_t PairCode(unsigned char lead, unsigned char trail) {
    size_t row = lead <= 0x9F ? lead - 0x81u : lead - 0xE0u + 31;
    size_t column = trail <= 0x7E ? trail - 0x40u : trail - 0x80u + 63;
    uint32_t code = kCp932Pairs[row][column];
    return code != 0 ? code : kNoCharacter;
}

// Appends the UTF-8 form of a code point below 0x10000.
void AppendUtf8(std::string& out, uint32_t code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

}  // namespace

size_t Cp932CharLength(const char* s) {
    return IsCp932Lead(static_cast<unsigned char>(s[0])) && IsCp932Trail(static_cast<unsigned char>(s[1])) ? 2 : 1;
}

std::string DecodeCp932(const std::string& bytes) {
    std::string out;
    out.reserve(bytes.size() * 3 / 2);
    for (size_t i = 0; i < bytes.size(); ++i) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c >= 0xA1 && c <= 0xDF) {
            AppendUtf8(out, 0xFF61 + (c - 0xA1u));
        } else if (IsCp932Lead(c) && i + 1 < bytes.size() && IsCp932Trail(static_cast<unsigned char>(bytes[i + 1]))) {
            AppendUtf8(out, PairCode(c, static_cast<unsigned char>(bytes[i + 1])));
            ++i;
        } else {
            AppendUtf8(out, kNoCharacter);
        }
    }
    return out;
}
