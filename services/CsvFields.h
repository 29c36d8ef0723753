#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cstdint>

// The comma-separated text of the table files. The files are 8-bit text read and written as
// Latin-1: one character per byte, characters above U+00FF cannot be stored and become "?".

// Splits one line into exactly `count` fields: blanks are kept inside fields (they are turned
// into U+00FF while splitting and back afterwards, so a U+00FF of the line comes back as a
// blank); a field starting with a double quote runs to the next lone double quote, two double
// quotes inside it standing for one; an unquoted field ends at a comma or a character below the
// blank; characters below the blank between fields are skipped. Missing fields are empty, extra
// fields are dropped.
QStringList SplitFields(const QString& line, int count);

// The field as written: enclosed in double quotes, inner double quotes doubled. A line break
// inside the text is written as a blank so that the record stays on its line.
QString QuoteField(const QString& text);

// The quoted fields joined by commas.
QString JoinFields(const QStringList& fields);

// An integer field: optional leading blanks, then "$" and up to eight hexadecimal digits, or a
// decimal number with an optional sign. Unreadable text or a value out of range gives 0.
// Hexadecimal text gives the 32-bit pattern (so "$FFFFFFFF" is -1 as a signed value).
std::int32_t ParseInt32Field(const QString& text);
std::uint32_t ParseUInt32Field(const QString& text);

// True when the text is an integer field ParseInt32Field reads (not merely gives 0 for).
bool IsIntegerField(const QString& text);

// True when the line is `count` fields exactly as JoinFields writes them (U+00FF standing for
// the blank it reads as): reading it and writing it back changes nothing.
bool IsWrittenLine(const QString& line, int count);

// Splits file contents (decoded as DecodeTableText does) into lines at CR LF, CR or LF; a final
// line break adds no empty line.
QStringList SplitLines(const QByteArray& contents);
QStringList SplitTextLines(const QString& text);

// The lines, each followed by CR LF, as Latin-1 bytes when every character is Latin-1, else
// as UTF-8.
QByteArray JoinLines(const QStringList& lines);

// A table file's text: UTF-8 when it is valid UTF-8 with a non-ASCII byte, else Latin-1.
QString DecodeTableText(const QByteArray& contents);
