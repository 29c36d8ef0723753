#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// DAB character sets of labels and dynamic labels (the 4-bit "charset" field of FIG 1 and of the
// dynamic label's first segment) and their conversion to and from UTF-8. Plain C++ without Qt:
// the receiver components link it as well as the core.
namespace DabCharset {

constexpr int kEbuLatin = 0x0;  // complete EBU Latin based repertoire
constexpr int kLatin1 = 0x4;    // ISO 8859-1, found on older transmitters
constexpr int kUcs2 = 0x6;      // ISO/IEC 10646 UCS-2, big endian
constexpr int kUtf8 = 0xF;      // ISO/IEC 10646 UTF-8

// The label bytes in `charset` as UTF-8. Unknown sets read as EBU Latin. Malformed UTF-8 and
// lone UCS-2 surrogates give U+FFFD; a UCS-2 text of odd length loses its last byte. NUL bytes end
// the text (receivers pad labels with them). The dynamic label's control codes of EBU Latin
// stay control characters: 0x0A line break "\n", 0x0B end of headline U+000B, 0x1F preferred
// word break U+001F.
std::string ToUtf8(const std::uint8_t* bytes, std::size_t length, int charset);
std::string ToUtf8(std::string_view bytes, int charset);

// UTF-8 text as EBU Latin bytes (one byte a character); nullopt when a character has no code
// there or the text is not valid UTF-8.
std::optional<std::string> ToEbuLatin(std::string_view utf8);

// UTF-8 text padded with blanks to `width` characters (code points, not bytes), as receivers
// hand labels over.
std::string PaddedLabel(std::string_view utf8, std::size_t width = 16);

// ISO 8859-1 bytes as UTF-8 (every byte is its own code point).
std::string Latin1ToUtf8(std::string_view latin1);

}  // namespace DabCharset
