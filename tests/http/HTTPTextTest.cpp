#include <gtest/gtest.h>

#include "http/HTTPText.h"

// The escape table decodes only its own escapes, upper-case only, and "%25" last.
TEST(HTTPText, DecodesKnownEscapesOnceAndInOrder) {
    for (const auto& [coded, text] :
         {std::pair{"/a%20b%2Fc%3F%40%7E%5B%5D%60%22", "/a b/c?@~[]`\""}, std::pair{"%2520", "%20"},
          std::pair{"%2E%2E%2f%0a", "%2E%2E%2f%0a"}, std::pair{"%0D%0A", "\r\n"}}) {
        EXPECT_EQ(HTTPText::DecodeEscapes(QString::fromLatin1(coded)), QString::fromLatin1(text));
    }
}

// Base64 pads a short last group and reads characters outside the alphabet as 0.
TEST(HTTPText, DecodesBase64LikeTheServer) {
    EXPECT_EQ(HTTPText::DecodeBase64("dXNlcjpTZWNyZXQ="), QByteArray("user:Secret\0", 12));
    EXPECT_EQ(HTTPText::DecodeBase64("YQ"), QByteArray("a\0\0", 3));
    EXPECT_EQ(HTTPText::DecodeBase64("!!!!"), QByteArray(3, '\0'));
}

// The user name is ignored unless the password itself holds a colon; case and padding zeros do
// not count.
TEST(HTTPText, MatchesCredentials) {
    EXPECT_FALSE(HTTPText::CredentialsMatch(QStringLiteral("Secret"), QString()));
    const QString pair = QStringLiteral("user:Secret");
    EXPECT_TRUE(HTTPText::CredentialsMatch(pair, QStringLiteral("VVNFUjpzZWNyZXQ=")));
    EXPECT_FALSE(HTTPText::CredentialsMatch(pair, QStringLiteral("b3RoZXI6U2VjcmV0")));
}

// A metadata block is the length byte and the text zero-padded to 16-byte blocks; a long title
// is cut so that the text never exceeds 4080 bytes (255 blocks); a quote in a label cannot end
// the title and add fields.
TEST(HTTPText, BuildsMetadataBlocks) {
    EXPECT_EQ(HTTPText::MetadataBlock(QStringLiteral("a';StreamUrl='x")),
              QByteArray("\x03StreamTitle='a\xE2\x80\x99;StreamUrl=\xE2\x80\x99x';StreamUrl='';") +
                  QByteArray(1, '\0'));
    EXPECT_EQ(HTTPText::MetadataBlock(QStringLiteral("News")),
              QByteArray("\x02StreamTitle='News';StreamUrl='';"));  // 32 bytes of text
    EXPECT_EQ(HTTPText::MetadataBlock(QStringLiteral("Newsy")),
              QByteArray("\x03StreamTitle='Newsy';StreamUrl='';") + QByteArray(15, '\0'));
    for (const auto& [length, end] : {std::pair{4052, "x';StreamUrl='';"},
                                      std::pair{4053, "x';StreamUrl=''"}, std::pair{5000, "xx"}}) {
        const QByteArray block = HTTPText::MetadataBlock(QString(length, u'x'));
        ASSERT_EQ(block.size(), 1 + 4080) << length;
        EXPECT_EQ(static_cast<unsigned char>(block[0]), 255) << length;
        EXPECT_EQ(block.mid(1, 13), "StreamTitle='") << length;
        EXPECT_TRUE(block.endsWith(end)) << length;
    }
}
