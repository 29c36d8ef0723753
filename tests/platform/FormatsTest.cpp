#include <gtest/gtest.h>

#include <QLocale>
#include <QTimeZone>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "platform/Formats.h"

// Dates are "dd/MM/yyyy" with leading zeros; reading takes one- or two-digit day and month and a
// four-digit year and refuses impossible dates and other layouts.
TEST(Formats, DatesWriteAndReadAsDayMonthYear) {
    EXPECT_EQ(FormatDate(QDate(2024, 2, 1)), "01/02/2024");
    EXPECT_EQ(FormatDate(QDate(999, 1, 9)), "09/01/0999");
    EXPECT_EQ(FormatDate(QDate()), QString());

    EXPECT_EQ(ParseDate(" 1/2/2024 "), QDate(2024, 2, 1));
    EXPECT_EQ(ParseDate("29/02/2024"), QDate(2024, 2, 29));
    for (const char* bad : {"29/02/2023", "31/04/2024", "00/01/2024", "01/13/2024", "01/02/24",
                            "2024-02-01", "01.02.2024", "01/02/2024x", ""}) {
        EXPECT_EQ(ParseDate(QString::fromLatin1(bad)), std::nullopt) << bad;
    }
}

// Times are two-digit 24-hour hour and minute (seconds dropped); reading refuses out-of-range
// parts and takes optional seconds.
TEST(Formats, TimesWriteAndReadAsHoursAndMinutes) {
    EXPECT_EQ(FormatTime(QTime(7, 5)), "07:05");
    EXPECT_EQ(FormatTime(QTime(23, 59, 59, 999)), "23:59");
    EXPECT_EQ(FormatTime(QTime()), QString());

    EXPECT_EQ(ParseTime("7:30"), QTime(7, 30));
    EXPECT_EQ(ParseTime("23:59:58"), QTime(23, 59, 58));
    for (const char* bad : {"24:00", "12:60", "12:5", "1230", "12:30:60", "-1:00", ""}) {
        EXPECT_EQ(ParseTime(QString::fromLatin1(bad)), std::nullopt) << bad;
    }
}

// Numbers are written in their shortest form with up to 15 significant digits and "."; very large
// and very small ones switch to an exponent; non-numbers have names.
TEST(Formats, FloatsUseTheShortestText) {
    const std::pair<double, const char*> cases[] = {
        {-0.0, "0"},
        {0.1 + 0.2, "0.3"},
        {2.0 / 3, "0.666666666666667"},
        {123456789012345.0, "123456789012345"},
        {999999999999999.9, "1E15"},
        {-2.5e100, "-2.5E100"},
        {0.00001, "0.00001"},
        {1.5e-7, "1.5E-7"},
        {std::numeric_limits<double>::quiet_NaN(), "NAN"},
        {-std::numeric_limits<double>::infinity(), "-INF"},
        {std::numeric_limits<double>::denorm_min(), "4.94065645841247E-324"}};
    for (const auto& [value, text] : cases) {
        EXPECT_EQ(FormatFloat(value), text) << value;
    }
}

// Reading takes what writing makes (and blanks, signs, exponents), and falls back to the default
// for anything else, including locale-style commas and words.
TEST(Formats, FloatsReadBackOrTakeTheDefault) {
    for (double v : {225.648, 0.0, -8.5, 1e20, 1.5e-7, 0.00001}) {
        EXPECT_EQ(ParseFloatDef(FormatFloat(v), -99), v) << v;
    }
    EXPECT_EQ(ParseFloatDef(" 12.5 ", -1), 12.5);
    EXPECT_EQ(ParseFloatDef("+.5", -1), 0.5);
    EXPECT_EQ(ParseFloatDef("1e3", -1), 1000.0);
    for (const char* bad :
         {"", " ", "1,5", "1.2.3", "abc", "12a", "inf", "nan", "1e999", "0x10", "1 000"}) {
        EXPECT_EQ(ParseFloatDef(QString::fromLatin1(bad), -1), -1) << bad;
    }
}

// After SetProcessFormats the C library and Qt's default locale take "." as decimal point.
TEST(Formats, ProcessFormatsKeepCNumbers) {
    std::setlocale(LC_NUMERIC, "C.utf8");
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    SetProcessFormats();
    EXPECT_STREQ(std::setlocale(LC_NUMERIC, nullptr), "C");
    EXPECT_EQ(QLocale().toString(1234.5), "1234.5");
}

// Day counts start at 30 December 1899 with the time of day as the fraction, which counts forward
// on negative days too; conversions round-trip to the millisecond.
TEST(Formats, DayCountsSince1899) {
    EXPECT_EQ(DateTimeToDays(QDateTime(QDate(1899, 12, 31), QTime(12, 0))), 1.5);
    EXPECT_EQ(DateTimeToDays(QDateTime(QDate(2000, 1, 1), QTime(6, 0))), 36526.25);
    EXPECT_EQ(DateTimeToDays(QDateTime(QDate(1899, 12, 29), QTime(6, 0))), -1.25);

    EXPECT_EQ(DaysToDateTime(0.999999999999), QDateTime(QDate(1899, 12, 31), QTime(0, 0)));
    EXPECT_EQ(DaysToDateTime(-1.999999999999), QDateTime(QDate(1899, 12, 30), QTime(0, 0)));
    EXPECT_FALSE(DaysToDateTime(std::numeric_limits<double>::quiet_NaN()).isValid());
    EXPECT_FALSE(DaysToDateTime(std::numeric_limits<double>::infinity()).isValid());

    for (const QDateTime& t : {QDateTime(QDate(2024, 12, 31), QTime(23, 59, 59, 999)),
                               QDateTime(QDate(1850, 6, 1), QTime(13, 14, 15, 16)),
                               QDateTime(QDate(9999, 1, 1), QTime(0, 0, 0, 1))}) {
        EXPECT_EQ(DaysToDateTime(DateTimeToDays(t)), t) << t.toString().toStdString();
    }
}

// The day count is taken in local time: the same instant given in UTC counts as its local time.
TEST(Formats, DayCountsAreLocalTime) {
    const QByteArray oldTz = qgetenv("TZ");
    ::setenv("TZ", "Europe/Berlin", 1);
    ::tzset();
    const QDateTime utc(QDate(2024, 7, 1), QTime(10, 0), QTimeZone::utc());
    EXPECT_EQ(DateTimeToDays(utc), DateTimeToDays(QDateTime(QDate(2024, 7, 1), QTime(12, 0))));
    EXPECT_EQ(DaysToDateTime(DateTimeToDays(utc)).toUTC(), utc);
    if (oldTz.isNull()) {
        ::unsetenv("TZ");
    } else {
        ::setenv("TZ", oldTz.constData(), 1);
    }
    ::tzset();
}
