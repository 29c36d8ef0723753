#include "services/CsvFields.h"

#include <QStringDecoder>
#include <algorithm>
#include <limits>
#include <optional>

namespace {

constexpr QChar kBlankStandIn = QChar(0x00FF);
constexpr QChar kQuote = u'"';
constexpr QChar kComma = u',';

bool BelowBlank(QChar c) {
    return c.unicode() < 0x20;
}

// Delphi-style integer text: leading blanks, "$" + hex digits, or an optional sign and decimal
// digits. Hexadecimal gives the unsigned 32-bit value.
struct ParsedInteger {
    std::int64_t value = 0;
    bool hex = false;
};

std::optional<ParsedInteger> ParseInteger(const QString& text) {
    qsizetype i = 0;
    while (i < text.size() && text[i] == u' ') {
        ++i;
    }
    if (i < text.size() && text[i] == u'$') {
        ++i;
        if (i == text.size()) {
            return std::nullopt;
        }
        std::uint64_t v = 0;
        for (; i < text.size(); ++i) {
            const char16_t c = text[i].unicode();
            unsigned digit = 0;
            if (c >= u'0' && c <= u'9') {
                digit = c - u'0';
            } else if (c >= u'a' && c <= u'f') {
                digit = c - u'a' + 10;
            } else if (c >= u'A' && c <= u'F') {
                digit = c - u'A' + 10;
            } else {
                return std::nullopt;
            }
            v = v * 16 + digit;
            if (v > 0xFFFFFFFFu) {
                return std::nullopt;
            }
        }
        return ParsedInteger{static_cast<std::int64_t>(v), true};
    }
    bool negative = false;
    if (i < text.size() && (text[i] == u'-' || text[i] == u'+')) {
        negative = text[i] == u'-';
        ++i;
    }
    if (i == text.size()) {
        return std::nullopt;
    }
    std::int64_t v = 0;
    for (; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c < u'0' || c > u'9') {
            return std::nullopt;
        }
        v = v * 10 + (c.unicode() - u'0');
        if (v > 0xFFFFFFFFLL) {
            return std::nullopt;
        }
    }
    return ParsedInteger{negative ? -v : v, false};
}

}  // namespace

QStringList SplitFields(const QString& line, int count) {
    QString text = line;
    text.replace(u' ', kBlankStandIn);

    QStringList fields;
    const qsizetype n = text.size();
    qsizetype p = 0;
    while (p < n && BelowBlank(text[p])) {
        ++p;
    }
    while (p < n) {
        QString field;
        if (text[p] == kQuote) {
            ++p;
            while (p < n) {
                if (text[p] == kQuote) {
                    ++p;
                    if (p >= n || text[p] != kQuote) {
                        break;
                    }
                }
                field.append(text[p]);
                ++p;
            }
        } else {
            const qsizetype start = p;
            while (p < n && !BelowBlank(text[p]) && text[p] != kComma) {
                ++p;
            }
            field = text.mid(start, p - start);
        }
        fields.append(field);
        while (p < n && BelowBlank(text[p])) {
            ++p;
        }
        if (p < n && text[p] == kComma) {
            if (p + 1 == n) {
                fields.append(QString());
            }
            do {
                ++p;
            } while (p < n && BelowBlank(text[p]));
        }
    }

    for (QString& field : fields) {
        field.replace(kBlankStandIn, u' ');
    }
    while (fields.size() < count) {
        fields.append(QString());
    }
    fields.resize(count);
    return fields;
}

QString QuoteField(const QString& text) {
    QString inner = text;
    inner.replace(u'\r', u' ');
    inner.replace(u'\n', u' ');
    inner.replace(kQuote, QStringLiteral("\"\""));
    return kQuote + inner + kQuote;
}

QString JoinFields(const QStringList& fields) {
    QString line;
    for (qsizetype i = 0; i < fields.size(); ++i) {
        if (i > 0) {
            line.append(kComma);
        }
        line.append(QuoteField(fields[i]));
    }
    return line;
}

std::int32_t ParseInt32Field(const QString& text) {
    const auto parsed = ParseInteger(text);
    if (!parsed) {
        return 0;
    }
    if (parsed->hex) {
        return static_cast<std::int32_t>(static_cast<std::uint32_t>(parsed->value));
    }
    if (parsed->value < std::numeric_limits<std::int32_t>::min() ||
        parsed->value > std::numeric_limits<std::int32_t>::max()) {
        return 0;
    }
    return static_cast<std::int32_t>(parsed->value);
}

std::uint32_t ParseUInt32Field(const QString& text) {
    const auto parsed = ParseInteger(text);
    if (!parsed || parsed->value < 0) {
        return 0;
    }
    return static_cast<std::uint32_t>(parsed->value);
}

bool IsIntegerField(const QString& text) {
    const auto parsed = ParseInteger(text);
    return parsed && (parsed->hex || (parsed->value >= std::numeric_limits<std::int32_t>::min() &&
                                      parsed->value <= std::numeric_limits<std::int32_t>::max()));
}

bool IsWrittenLine(const QString& line, int count) {
    QString expected = line;
    expected.replace(kBlankStandIn, u' ');
    return JoinFields(SplitFields(line, count)) == expected;
}

QStringList SplitLines(const QByteArray& contents) {
    return SplitTextLines(DecodeTableText(contents));
}

QStringList SplitTextLines(const QString& text) {
    QStringList lines;
    qsizetype start = 0;
    qsizetype i = 0;
    while (i < text.size()) {
        const QChar c = text[i];
        if (c == u'\r' || c == u'\n') {
            lines.append(text.mid(start, i - start));
            if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') {
                ++i;
            }
            start = i + 1;
        }
        ++i;
    }
    if (start < text.size()) {
        lines.append(text.mid(start));
    }
    return lines;
}

namespace {

// The text as UTF-8 when the bytes are valid UTF-8 with anything beyond ASCII: Latin-1 text with
// accents is almost never valid UTF-8.
std::optional<QString> AsUtf8(const QByteArray& contents) {
    const bool ascii = std::all_of(contents.begin(), contents.end(),
                                   [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    if (ascii) {
        return std::nullopt;
    }
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(contents);
    if (utf8.hasError()) {
        return std::nullopt;
    }
    return text;
}

}  // namespace

QByteArray JoinLines(const QStringList& lines) {
    // Latin-1 while every character fits, so files stay what they always were; a label from a
    // station that sends other characters (Polish, Greek, Cyrillic...) makes the file UTF-8.
    bool latin1 = true;
    for (const QString& line : lines) {
        latin1 = latin1 &&
                 std::all_of(line.begin(), line.end(), [](QChar c) { return c.unicode() <= 0xFF; });
    }
    const auto join = [&lines](bool asLatin1) {
        QByteArray bytes;
        for (const QString& line : lines) {
            bytes.append(asLatin1 ? line.toLatin1() : line.toUtf8());
            bytes.append("\r\n");
        }
        return bytes;
    };
    QByteArray bytes = join(latin1);
    // Latin-1 text such as "Ã©" is also valid UTF-8 and would read back as "é": such a file is
    // written as UTF-8 so that it reads back as written.
    if (latin1 && AsUtf8(bytes).has_value()) {
        bytes = join(false);
    }
    return bytes;
}

QString DecodeTableText(const QByteArray& contents) {
    return AsUtf8(contents).value_or(QString::fromLatin1(contents));
}
