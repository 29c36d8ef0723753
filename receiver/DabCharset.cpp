#include "receiver/DabCharset.h"

#include <algorithm>
#include <array>
#include <utility>
#include <vector>

namespace DabCharset {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

// The complete EBU Latin based repertoire (ETSI TS 101 756, table C.1), code → Unicode.
// 0x0A (preferred line break), 0x0B (end of headline) and 0x1F (preferred word break) are the
// dynamic label's control codes: they stay the same control characters so the label display
// can act on them; 0x00 ends the text and is never looked up. 0xCE is the capital of both đ
// and ð; it reads as U+00D0, and U+0110 writes to it too.
constexpr std::array<char16_t, 256> kEbuLatin = {
    // 0x00
    0x0000, 0x0118, 0x012E, 0x0172, 0x0102, 0x0116, 0x010E, 0x0218,  //  Ę Į Ų Ă Ė Ď Ș
    0x021A, 0x010A, 0x000A, 0x000B, 0x0120, 0x0139, 0x017B, 0x0143,  // Ț Ċ LF EOH Ġ Ĺ Ż Ń
    // 0x10
    0x0105, 0x0119, 0x012F, 0x0173, 0x0103, 0x0117, 0x010F, 0x0219,  // ą ę į ų ă ė ď ș
    0x021B, 0x010B, 0x0147, 0x011A, 0x0121, 0x013A, 0x017C, 0x001F,  // ț ċ Ň Ě ġ ĺ ż SHY
    // 0x20: ASCII but 0x24
    0x0020, 0x0021, 0x0022, 0x0023, 0x0142, 0x0025, 0x0026, 0x0027,  //   ! " # ł % & '
    0x0028, 0x0029, 0x002A, 0x002B, 0x002C, 0x002D, 0x002E, 0x002F,  //
    // 0x30
    0x0030, 0x0031, 0x0032, 0x0033, 0x0034, 0x0035, 0x0036, 0x0037,  //
    0x0038, 0x0039, 0x003A, 0x003B, 0x003C, 0x003D, 0x003E, 0x003F,  //
    // 0x40
    0x0040, 0x0041, 0x0042, 0x0043, 0x0044, 0x0045, 0x0046, 0x0047,  //
    0x0048, 0x0049, 0x004A, 0x004B, 0x004C, 0x004D, 0x004E, 0x004F,  //
    // 0x50: ASCII but 0x5C and 0x5E
    0x0050, 0x0051, 0x0052, 0x0053, 0x0054, 0x0055, 0x0056, 0x0057,  //
    0x0058, 0x0059, 0x005A, 0x005B, 0x016E, 0x005D, 0x0141, 0x005F,  // X Y Z [ Ů ] Ł _
    // 0x60: ASCII but 0x60
    0x0104, 0x0061, 0x0062, 0x0063, 0x0064, 0x0065, 0x0066, 0x0067,  // Ą a b c d e f g
    0x0068, 0x0069, 0x006A, 0x006B, 0x006C, 0x006D, 0x006E, 0x006F,  //
    // 0x70: ASCII up to 0x7A
    0x0070, 0x0071, 0x0072, 0x0073, 0x0074, 0x0075, 0x0076, 0x0077,  //
    0x0078, 0x0079, 0x007A, 0x00AB, 0x016F, 0x00BB, 0x013D, 0x0126,  // x y z « ů » Ľ Ħ
    // 0x80
    0x00E1, 0x00E0, 0x00E9, 0x00E8, 0x00ED, 0x00EC, 0x00F3, 0x00F2,  // á à é è í ì ó ò
    0x00FA, 0x00F9, 0x00D1, 0x00C7, 0x015E, 0x00DF, 0x00A1, 0x0178,  // ú ù Ñ Ç Ş ß ¡ Ÿ
    // 0x90
    0x00E2, 0x00E4, 0x00EA, 0x00EB, 0x00EE, 0x00EF, 0x00F4, 0x00F6,  // â ä ê ë î ï ô ö
    0x00FB, 0x00FC, 0x00F1, 0x00E7, 0x015F, 0x011F, 0x0131, 0x00FF,  // û ü ñ ç ş ğ ı ÿ
    // 0xA0
    0x0136, 0x0145, 0x00A9, 0x0122, 0x011E, 0x011B, 0x0148, 0x0151,  // Ķ Ņ © Ģ Ğ ě ň ő
    0x0150, 0x20AC, 0x00A3, 0x0024, 0x0100, 0x0112, 0x012A, 0x016A,  // Ő € £ $ Ā Ē Ī Ū
    // 0xB0
    0x0137, 0x0146, 0x013B, 0x0123, 0x013C, 0x0130, 0x0144, 0x0171,  // ķ ņ Ļ ģ ļ İ ń ű
    0x0170, 0x00BF, 0x013E, 0x00B0, 0x0101, 0x0113, 0x012B, 0x016B,  // Ű ¿ ľ ° ā ē ī ū
    // 0xC0
    0x00C1, 0x00C0, 0x00C9, 0x00C8, 0x00CD, 0x00CC, 0x00D3, 0x00D2,  // Á À É È Í Ì Ó Ò
    0x00DA, 0x00D9, 0x0158, 0x010C, 0x0160, 0x017D, 0x00D0, 0x013F,  // Ú Ù Ř Č Š Ž Ð Ŀ
    // 0xD0
    0x00C2, 0x00C4, 0x00CA, 0x00CB, 0x00CE, 0x00CF, 0x00D4, 0x00D6,  // Â Ä Ê Ë Î Ï Ô Ö
    0x00DB, 0x00DC, 0x0159, 0x010D, 0x0161, 0x017E, 0x0111, 0x0140,  // Û Ü ř č š ž đ ŀ
    // 0xE0
    0x00C3, 0x00C5, 0x00C6, 0x0152, 0x0177, 0x00DD, 0x00D5, 0x00D8,  // Ã Å Æ Œ ŷ Ý Õ Ø
    0x00DE, 0x014A, 0x0154, 0x0106, 0x015A, 0x0179, 0x0164, 0x00F0,  // Þ Ŋ Ŕ Ć Ś Ź Ť ð
    // 0xF0
    0x00E3, 0x00E5, 0x00E6, 0x0153, 0x0175, 0x00FD, 0x00F5, 0x00F8,  // ã å æ œ ŵ ý õ ø
    0x00FE, 0x014B, 0x0155, 0x0107, 0x015B, 0x017A, 0x0165, 0x0127,  // þ ŋ ŕ ć ś ź ť ħ
};

// Unicode → EBU Latin code, sorted by code point, for the way back.
const std::vector<std::pair<char32_t, std::uint8_t>>& EbuLatinCodes() {
    static const auto codes = [] {
        std::vector<std::pair<char32_t, std::uint8_t>> c{{0x0110, 0xCE}};  // Đ as well as Ð
        for (int code = 1; code < 256; ++code) {
            c.emplace_back(kEbuLatin[code], static_cast<std::uint8_t>(code));
        }
        std::sort(c.begin(), c.end());
        return c;
    }();
    return codes;
}

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// Reads one code point at `i` and advances past it. A malformed sequence (bad lead byte,
// missing continuation, overlong form, surrogate, beyond U+10FFFF) gives U+FFFD and advances
// past its longest valid prefix, at least one byte, so the next character is not swallowed.
char32_t NextUtf8(const std::uint8_t* b, std::size_t length, std::size_t& i) {
    const std::uint8_t lead = b[i++];
    if (lead < 0x80) {
        return lead;
    }
    int more = 0;
    char32_t c = 0;
    char32_t low = 0x80;   // smallest valid second byte
    char32_t high = 0xBF;  // largest valid second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        more = 1;
        c = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        more = 2;
        c = lead & 0x0F;
        low = lead == 0xE0 ? 0xA0 : 0x80;   // overlong
        high = lead == 0xED ? 0x9F : 0xBF;  // surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        more = 3;
        c = lead & 0x07;
        low = lead == 0xF0 ? 0x90 : 0x80;   // overlong
        high = lead == 0xF4 ? 0x8F : 0xBF;  // beyond U+10FFFF
    } else {
        return kReplacement;
    }
    for (int k = 0; k < more; ++k) {
        if (i >= length || b[i] == 0 || b[i] < (k == 0 ? low : 0x80) ||
            b[i] > (k == 0 ? high : 0xBF)) {
            return kReplacement;
        }
        c = (c << 6) | (b[i++] & 0x3F);
    }
    return c;
}

std::string EbuLatinToUtf8(const std::uint8_t* b, std::size_t length) {
    std::string out;
    for (std::size_t i = 0; i < length && b[i] != 0; ++i) {
        AppendUtf8(out, kEbuLatin[b[i]]);
    }
    return out;
}

std::string Latin1BytesToUtf8(const std::uint8_t* b, std::size_t length) {
    std::string out;
    for (std::size_t i = 0; i < length && b[i] != 0; ++i) {
        AppendUtf8(out, b[i]);
    }
    return out;
}

// UCS-2 has no surrogates; a well-formed UTF-16 pair is still taken as its character, a lone
// half gives U+FFFD.
std::string Ucs2ToUtf8(const std::uint8_t* b, std::size_t length) {
    std::string out;
    const std::size_t units = length / 2;
    for (std::size_t u = 0; u < units; ++u) {
        const char32_t c = (char32_t{b[2 * u]} << 8) | b[2 * u + 1];
        if (c == 0) {
            break;
        }
        if (c >= 0xD800 && c <= 0xDBFF && u + 1 < units) {
            const char32_t next = (char32_t{b[2 * u + 2]} << 8) | b[2 * u + 3];
            if (next >= 0xDC00 && next <= 0xDFFF) {
                AppendUtf8(out, 0x10000 + ((c - 0xD800) << 10) + (next - 0xDC00));
                ++u;
                continue;
            }
        }
        AppendUtf8(out, (c >= 0xD800 && c <= 0xDFFF) ? kReplacement : c);
    }
    return out;
}

std::string Utf8ToUtf8(const std::uint8_t* b, std::size_t length) {
    std::string out;
    std::size_t i = 0;
    while (i < length && b[i] != 0) {
        AppendUtf8(out, NextUtf8(b, length, i));
    }
    return out;
}

}  // namespace

std::string ToUtf8(const std::uint8_t* bytes, std::size_t length, int charset) {
    switch (charset) {
        case kLatin1:
            return Latin1BytesToUtf8(bytes, length);
        case kUcs2:
            return Ucs2ToUtf8(bytes, length);
        case kUtf8:
            return Utf8ToUtf8(bytes, length);
        default:
            return EbuLatinToUtf8(bytes, length);
    }
}

std::string ToUtf8(std::string_view bytes, int charset) {
    return ToUtf8(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), charset);
}

std::optional<std::string> ToEbuLatin(std::string_view utf8) {
    const auto* b = reinterpret_cast<const std::uint8_t*>(utf8.data());
    const auto& codes = EbuLatinCodes();
    std::string out;
    std::size_t i = 0;
    while (i < utf8.size()) {
        if (b[i] == 0) {
            return std::nullopt;  // 0x00 would end the text
        }
        // Malformed input reads as U+FFFD, which has no code either.
        const char32_t c = NextUtf8(b, utf8.size(), i);
        const auto it =
            std::lower_bound(codes.begin(), codes.end(), std::pair<char32_t, std::uint8_t>{c, 0});
        if (it == codes.end() || it->first != c) {
            return std::nullopt;
        }
        out += static_cast<char>(it->second);
    }
    return out;
}

std::string Latin1ToUtf8(std::string_view latin1) {
    std::string out;
    for (const char ch : latin1) {
        AppendUtf8(out, static_cast<std::uint8_t>(ch));
    }
    return out;
}

std::string PaddedLabel(std::string_view utf8, std::size_t width) {
    std::string s(utf8);
    const auto characters = static_cast<std::size_t>(
        std::count_if(s.begin(), s.end(), [](char c) { return (c & 0xC0) != 0x80; }));
    if (characters < width) {
        s.append(width - characters, ' ');
    }
    return s;
}

}  // namespace DabCharset
