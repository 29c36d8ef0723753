#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QTime>
#include <optional>

// The process-wide text formats: dates "dd/MM/yyyy", times "hh:nn" (24-hour), numbers with "."
// whatever the user's locale. Any thread.

// Call once at start, after the QCoreApplication exists (it adopts the user's locale): keeps C
// number formatting for the C library and Qt's default locale, so files and codecs read back.
void SetProcessFormats();

// "dd/MM/yyyy"; empty for an invalid date.
QString FormatDate(const QDate& date);
// Two-digit 24-hour hour, ":", two-digit minute; empty for an invalid time.
QString FormatTime(const QTime& time);
// Day and month of one or two digits, a four-digit year, "/" between; blanks around allowed.
std::optional<QDate> ParseDate(const QString& text);
// Hour (0-23) of one or two digits, ":", two-digit minute, optionally ":" and two-digit seconds.
std::optional<QTime> ParseTime(const QString& text);

// Shortest decimal text with up to 15 significant digits and "." (225.648 -> "225.648",
// 8 -> "8"); scientific "1E20" / "1.5E-7" beyond 15 integer digits or below 0.00001.
QString FormatFloat(double value);
// The number in `text` (blanks around allowed, "." as separator, optional exponent), else `def`.
double ParseFloatDef(const QString& text, double def);

// Days since 30 December 1899 in local time, the time of day as the fraction (before that day
// the fraction still counts forward: -1.25 is 29 December 1899 06:00). Millisecond precision.
double DateTimeToDays(const QDateTime& dateTime);
// The local date-time of a day count; invalid for NaN, infinities and days outside QDate's range.
QDateTime DaysToDateTime(double days);
