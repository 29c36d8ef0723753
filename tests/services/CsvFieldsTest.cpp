#include <gtest/gtest.h>

#include <QStringList>

#include "services/CsvFields.h"

// Quoted fields keep commas, blanks and doubled quotes; unquoted fields keep inner blanks.
TEST(CsvFields, SplitsQuotedAndUnquotedFields) {
    EXPECT_EQ(SplitFields("\"a, \"\"b\"\" \",c d , e", 3),
              (QStringList{"a, \"b\" ", "c d ", " e"}));
    // A control character ends an unquoted field and is skipped between fields.
    EXPECT_EQ(SplitFields("a\tb\t,\tc", 3), (QStringList{"a", "b", "c"}));
    // An unterminated quote runs to the end of the line.
    EXPECT_EQ(SplitFields("\"x,y", 1), QStringList{"x,y"});
}

// Empty fields come from consecutive, leading and trailing commas; the count pads and trims.
TEST(CsvFields, EmptyFieldsAndFieldCount) {
    EXPECT_EQ(SplitFields(",a,,b,", 5), (QStringList{QString(), "a", QString(), "b", QString()}));
    EXPECT_EQ(SplitFields("\"1\",\"2\",\"3\"", 2), (QStringList{"1", "2"}));
}

// Writing keeps a record on one line.
TEST(CsvFields, QuotingKeepsOneLine) {
    EXPECT_EQ(QuoteField("a\r\nb"), "\"a  b\"");
}

// Integers: "$" means hexadecimal (32-bit pattern), decimal must fit, anything else reads 0.
TEST(CsvFields, IntegerFields) {
    EXPECT_EQ(ParseInt32Field("$c0de"), 0xC0DE);
    EXPECT_EQ(ParseInt32Field(" -12"), -12);
    EXPECT_EQ(ParseInt32Field("$FFFFFFFF"), -1);
    EXPECT_EQ(ParseInt32Field("12 "), 0);
    EXPECT_EQ(ParseInt32Field("$"), 0);
    EXPECT_EQ(ParseInt32Field("2147483648"), 0);
    EXPECT_EQ(ParseInt32Field("$100000000"), 0);
    EXPECT_EQ(ParseUInt32Field("$E1C0DE01"), 0xE1C0DE01u);
    EXPECT_EQ(ParseUInt32Field("3787513345"), 3787513345u);
    EXPECT_EQ(ParseUInt32Field("-5"), 0u);
}

// Lines split at CR LF, CR or LF and are written with CR LF after each.
TEST(CsvFields, LinesAndEncoding) {
    EXPECT_EQ(SplitLines("a\r\nb\nc\rd\r\n"), (QStringList{"a", "b", "c", "d"}));
    EXPECT_EQ(SplitLines("\r\n\r\nx"), (QStringList{QString(), QString(), "x"}));
    EXPECT_TRUE(SplitLines("").isEmpty());
    // Latin-1 files stay Latin-1; a character beyond it makes the whole file UTF-8, and valid
    // UTF-8 reads back as such.
    EXPECT_EQ(SplitLines("caf\xE9"), QStringList{"caf\u00E9"});
    EXPECT_EQ(SplitLines("caf\xC3\xA9\r\n\xE2\x82\xAC"), (QStringList{"caf\u00E9", "\u20AC"}));
    EXPECT_EQ(JoinLines({"caf\u00E9"}), QByteArray("caf\xE9\r\n"));
    EXPECT_EQ(JoinLines({"caf\u00E9", "\u20AC"}), QByteArray("caf\xC3\xA9\r\n\xE2\x82\xAC\r\n"));
    // Latin-1 text whose bytes are also valid UTF-8 is written as UTF-8, so it reads back as
    // written instead of as other characters.
    for (const QString& text :
         {QStringLiteral("\u00C3\u00A9"), QStringLiteral("x\u00C2\u00A5\u0015")}) {
        EXPECT_EQ(SplitLines(JoinLines({text, "caf\u00E9"})), (QStringList{text, "caf\u00E9"}));
    }
}
