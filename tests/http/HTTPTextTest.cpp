#include <gtest/gtest.h>

#include "http/HTTPText.h"

// The escape table decodes only its own escapes, upper-case only, and "%25" last.
TEST(HTTPText, DecodesKnownEscapesOnceAndInOrder) {
    EXPECT_EQ(HTTPText::DecodeEscapes(QStringLiteral("/a%20b%2Fc%3F%40%7E%5B%5D%60%22")),
              QStringLiteral("/a b/c?@~[]`\""));
    EXPECT_EQ(HTTPText::DecodeEscapes(QStringLiteral("%2520")), QStringLiteral("%20"));
    EXPECT_EQ(HTTPText::DecodeEscapes(QStringLiteral("%2E%2E%2f%0a")),
              QStringLiteral("%2E%2E%2f%0a"));
    EXPECT_EQ(HTTPText::DecodeEscapes(QStringLiteral("%0D%0A")), QStringLiteral("\r\n"));
}

// A word ends at the first blank after trimming; without a blank the word is empty and the text
// stays whole.
TEST(HTTPText, SplitsWordsAtTheFirstBlank) {
    QString line = QStringLiteral("  GET /index.htm HTTP/1.0 ");
    EXPECT_EQ(HTTPText::SplitWord(line), QStringLiteral("GET"));
    EXPECT_EQ(HTTPText::SplitWord(line), QStringLiteral("/index.htm"));
    EXPECT_EQ(line, QStringLiteral("HTTP/1.0"));

    QString shortLine = QStringLiteral("GET /index.htm");
    EXPECT_EQ(HTTPText::SplitWord(shortLine), QStringLiteral("GET"));
    EXPECT_EQ(HTTPText::SplitWord(shortLine), QString());
    EXPECT_EQ(shortLine, QStringLiteral("/index.htm"));
}

// Base64 pads a short last group and reads characters outside the alphabet as 0.
TEST(HTTPText, DecodesBase64LikeTheServer) {
    EXPECT_EQ(HTTPText::DecodeBase64("dXNlcjpTZWNyZXQ="), QByteArray("user:Secret\0", 12));
    EXPECT_EQ(HTTPText::DecodeBase64("YWJj"), QByteArray("abc"));
    EXPECT_EQ(HTTPText::DecodeBase64("YQ"), QByteArray("a\0\0", 3));
    EXPECT_EQ(HTTPText::DecodeBase64("!!!!"), QByteArray(3, '\0'));
}

// The user name is ignored unless the password itself holds a colon; case and padding zeros do
// not count.
TEST(HTTPText, MatchesCredentials) {
    const QString secret = QStringLiteral("Secret");
    EXPECT_TRUE(HTTPText::CredentialsMatch(secret, QStringLiteral("YW55b25lOnNFQ1JFVA==")));
    EXPECT_TRUE(HTTPText::CredentialsMatch(secret, QStringLiteral("dXNlcjpTZWNyZXQ=")));
    EXPECT_FALSE(HTTPText::CredentialsMatch(secret, QStringLiteral("dXNlcjpXcm9uZw==")));
    EXPECT_FALSE(HTTPText::CredentialsMatch(secret, QString()));
    const QString pair = QStringLiteral("user:Secret");
    EXPECT_TRUE(HTTPText::CredentialsMatch(pair, QStringLiteral("VVNFUjpzZWNyZXQ=")));
    EXPECT_FALSE(HTTPText::CredentialsMatch(pair, QStringLiteral("b3RoZXI6U2VjcmV0")));
}

// A metadata block is the length byte and the text zero-padded to 16-byte blocks; a long title
// is cut so that the text never exceeds 4080 bytes (255 blocks).
TEST(HTTPText, BuildsMetadataBlocks) {
    const QByteArray block = HTTPText::MetadataBlock(QStringLiteral("News"));
    const QByteArray text = "StreamTitle='News';StreamUrl='';";  // 32 bytes
    ASSERT_EQ(block.size(), 1 + 32);
    EXPECT_EQ(block[0], 2);
    EXPECT_EQ(block.mid(1), text);

    const QByteArray odd = HTTPText::MetadataBlock(QStringLiteral("Newsy"));
    ASSERT_EQ(odd.size(), 1 + 48);
    EXPECT_EQ(odd[0], 3);
    EXPECT_EQ(odd.mid(1, 33), "StreamTitle='Newsy';StreamUrl='';");
    EXPECT_EQ(odd.mid(34), QByteArray(15, '\0'));

    const QByteArray fits = HTTPText::MetadataBlock(QString(4052, u'x'));
    ASSERT_EQ(fits.size(), 1 + 4080);
    EXPECT_EQ(static_cast<unsigned char>(fits[0]), 255);
    EXPECT_TRUE(fits.endsWith("x';StreamUrl='';"));

    const QByteArray cut = HTTPText::MetadataBlock(QString(4053, u'x'));
    ASSERT_EQ(cut.size(), 1 + 4080);
    EXPECT_EQ(static_cast<unsigned char>(cut[0]), 255);
    EXPECT_TRUE(cut.endsWith("x';StreamUrl=''"));

    const QByteArray longest = HTTPText::MetadataBlock(QString(5000, u'x'));
    ASSERT_EQ(longest.size(), 1 + 4080);
    EXPECT_EQ(longest.mid(1, 13), "StreamTitle='");
    EXPECT_EQ(longest.back(), 'x');
}
