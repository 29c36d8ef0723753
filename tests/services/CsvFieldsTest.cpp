#include <gtest/gtest.h>

#include <QStringList>

#include "services/CsvFields.h"

// Quoted fields keep commas, blanks and doubled quotes; unquoted fields keep inner blanks.
TEST(CsvFields, SplitsQuotedAndUnquotedFields) {
    EXPECT_EQ(
        SplitFields(QStringLiteral("\"a, \"\"b\"\" \",c d , e"), 3),
        (QStringList{QStringLiteral("a, \"b\" "), QStringLiteral("c d "), QStringLiteral(" e")}));
    // A control character ends an unquoted field and is skipped between fields.
    EXPECT_EQ(SplitFields(QStringLiteral("a\tb\t,\tc"), 3),
              (QStringList{QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")}));
    // An unterminated quote runs to the end of the line.
    EXPECT_EQ(SplitFields(QStringLiteral("\"x,y"), 1), QStringList{QStringLiteral("x,y")});
}

// Empty fields come from consecutive, leading and trailing commas; the count pads and trims.
TEST(CsvFields, EmptyFieldsAndFieldCount) {
    EXPECT_EQ(
        SplitFields(QStringLiteral(",a,,b,"), 5),
        (QStringList{QString(), QStringLiteral("a"), QString(), QStringLiteral("b"), QString()}));
    EXPECT_EQ(SplitFields(QString(), 4), (QStringList{QString(), QString(), QString(), QString()}));
    EXPECT_EQ(SplitFields(QStringLiteral("\"1\",\"2\",\"3\""), 2),
              (QStringList{QStringLiteral("1"), QStringLiteral("2")}));
}

// A character U+00FF of the line reads back as a blank (it stands in for blanks while splitting).
TEST(CsvFields, ByteFFBecomesBlank) {
    EXPECT_EQ(SplitFields(QStringLiteral("\"a\u00FFb\",c\u00FF"), 2),
              (QStringList{QStringLiteral("a b"), QStringLiteral("c ")}));
}

// Writing quotes every field, doubles inner quotes and keeps a record on one line.
TEST(CsvFields, QuotingRoundTrips) {
    EXPECT_EQ(JoinFields({QStringLiteral("$C0DE"), QStringLiteral("Say \"hi\""), QString()}),
              QStringLiteral("\"$C0DE\",\"Say \"\"hi\"\"\",\"\""));
    EXPECT_EQ(QuoteField(QStringLiteral("a\r\nb")), QStringLiteral("\"a  b\""));
    const QStringList fields{QStringLiteral(" lead, trail "), QStringLiteral("\"\""),
                             QStringLiteral(" ")};
    EXPECT_EQ(SplitFields(JoinFields(fields), 3), fields);
}

// Integers: "$" means hexadecimal (32-bit pattern), decimal must fit, anything else reads 0.
TEST(CsvFields, IntegerFields) {
    EXPECT_EQ(ParseInt32Field(QStringLiteral("$C0DE")), 0xC0DE);
    EXPECT_EQ(ParseInt32Field(QStringLiteral("$c0de")), 0xC0DE);
    EXPECT_EQ(ParseInt32Field(QStringLiteral(" -12")), -12);
    EXPECT_EQ(ParseInt32Field(QStringLiteral("$FFFFFFFF")), -1);
    EXPECT_EQ(ParseInt32Field(QStringLiteral("12 ")), 0);
    EXPECT_EQ(ParseInt32Field(QStringLiteral("$")), 0);
    EXPECT_EQ(ParseInt32Field(QStringLiteral("x1")), 0);
    EXPECT_EQ(ParseInt32Field(QStringLiteral("2147483648")), 0);
    EXPECT_EQ(ParseInt32Field(QStringLiteral("$100000000")), 0);
    EXPECT_EQ(ParseUInt32Field(QStringLiteral("$E1C0DE01")), 0xE1C0DE01u);
    EXPECT_EQ(ParseUInt32Field(QStringLiteral("3787513345")), 3787513345u);
    EXPECT_EQ(ParseUInt32Field(QStringLiteral("-5")), 0u);
}

// Lines split at CR LF, CR or LF and are written as Latin-1 with CR LF after each.
TEST(CsvFields, LinesAndEncoding) {
    EXPECT_EQ(SplitLines("a\r\nb\nc\rd\r\n"),
              (QStringList{QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c"),
                           QStringLiteral("d")}));
    EXPECT_EQ(SplitLines("\r\n\r\nx"), (QStringList{QString(), QString(), QStringLiteral("x")}));
    EXPECT_TRUE(SplitLines("").isEmpty());
    EXPECT_EQ(SplitLines("caf\xE9"), QStringList{QStringLiteral("caf\u00E9")});
    EXPECT_EQ(JoinLines({QStringLiteral("caf\u00E9"), QStringLiteral("\u20AC")}),
              QByteArray("caf\xE9\r\n?\r\n"));
}
