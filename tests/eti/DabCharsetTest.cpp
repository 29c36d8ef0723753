#include <gtest/gtest.h>

#include <string>

#include "receiver/DabCharset.h"

namespace {

using namespace std::string_literals;

struct Case {
    int charset;
    std::string bytes, utf8;
};

}  // namespace

// Label bytes of each DAB character set come out as the right UTF-8 text: EBU Latin's own
// letters and its departures from ASCII, ISO 8859-1, big-endian UCS-2 (Greek, Cyrillic, a
// surrogate pair, odd length, a lone surrogate), UTF-8 with malformed sequences as U+FFFD, a
// NUL ending every set, and unknown sets read as EBU Latin.
TEST(DabCharsetTest, LabelBytesBecomeUtf8) {
    const Case cases[] = {
        {DabCharset::kEbuLatin, "Caf\x82 \x8D \x91 \xD7", "Café ß ä Ö"},
        {DabCharset::kEbuLatin, "\x24\x5C\x5E\x60\x7B\x7E\x7F\xAB\xA9", "łŮŁĄ«ĽĦ$€"},
        {DabCharset::kEbuLatin, "\x01\x1B\x8F\xA0\xCE\xDE\xEE\xFF", "ĘĚŸĶÐđŤħ"},
        {DabCharset::kEbuLatin, "a\nb\vc\037d", "a\nb\vc\037d"},  // line break, headline, SHY
        {DabCharset::kEbuLatin, "AB\0CD"s, "AB"},
        {0x9, "\x82", "é"},
        {DabCharset::kLatin1, "\xE9\xE4\xDF\xA4\0x"s, "éäß¤"},
        {DabCharset::kUcs2, "\x03\x9A\x03\xB1\x03\xBB\x03\xAE", "Καλή"},
        {DabCharset::kUcs2, "\x04\x1C\x04\x38\x04\x40\x04", "Мир"},
        {DabCharset::kUcs2, "\xD8\x3C\xDF\xB5\x00\x41\x00\x00\x00\x42"s, "🎵A"},
        {DabCharset::kUcs2, "\xDC\x00\x00\x41"s, "\uFFFDA"},
        {DabCharset::kUtf8, "Ελλάδα 🎵", "Ελλάδα 🎵"},
        {DabCharset::kUtf8, "a\xC3", "a\uFFFD"},
        {DabCharset::kUtf8, "\xE2\x82x\xFFy", "\uFFFDx\uFFFDy"},
        {DabCharset::kUtf8, "\xC0\xAF\xED\xA0\x80", "\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD"},
        {DabCharset::kUtf8, "\xF4\x90\x80\x80|\xF0\x9F\x8E", "\uFFFD\uFFFD\uFFFD\uFFFD|\uFFFD"},
        {DabCharset::kUtf8, "ok\0\xFF"s, "ok"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(DabCharset::ToUtf8(c.bytes, c.charset), c.utf8)
            << "charset " << c.charset << ": " << c.bytes;
    }
    EXPECT_EQ(DabCharset::Latin1ToUtf8("\xE9\0\xFF"s), "é\0ÿ"s);
}

// Text goes back to EBU Latin exactly where each character has a code; characters without one
// (ASCII's \ ^ ` { | } ~ among them), NUL and malformed UTF-8 refuse the whole text.
TEST(DabCharsetTest, Utf8BecomesEbuLatinOnlyWhereCodesExist) {
    EXPECT_EQ(DabCharset::ToEbuLatin("Łódź $€ Đ\n"), "\136\206d\375 \253\251 \316\n");
    const std::string refused[] = {"a^b", "`", "~", "\\", "{|}", "¤", "Ж", "x\0y"s, "\xC3("};
    for (const std::string& bad : refused) {
        EXPECT_FALSE(DabCharset::ToEbuLatin(bad).has_value()) << bad;
    }
}

// Every EBU Latin code survives ToUtf8 and ToEbuLatin unchanged.
TEST(DabCharsetTest, EveryEbuLatinCodeRoundTrips) {
    for (int code = 1; code < 256; ++code) {
        const std::string byte(1, static_cast<char>(code));
        const std::string text = DabCharset::ToUtf8(byte, DabCharset::kEbuLatin);
        EXPECT_EQ(DabCharset::ToEbuLatin(text), byte) << code;
    }
}

// Labels are padded to 16 characters, counting a multi-byte character once; longer ones stay.
TEST(DabCharsetTest, PaddedLabelCountsCharactersNotBytes) {
    EXPECT_EQ(DabCharset::PaddedLabel("\xC5\x81\xC3\xB3"
                                      "d\xC5\xBA"),
              "\xC5\x81\xC3\xB3"
              "d\xC5\xBA" +
                  std::string(12, ' '));
    EXPECT_EQ(DabCharset::PaddedLabel("Seventeen letters"), "Seventeen letters");
}
