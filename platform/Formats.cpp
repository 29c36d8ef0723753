#include "platform/Formats.h"

#include <QLocale>
#include <QRegularExpression>
#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string_view>

namespace {

constexpr double kMsPerDay = 86400000.0;

QDate Epoch() {
    return QDate(1899, 12, 30);
}

QString StripTrailingZeros(QString s) {
    if (s.contains(QLatin1Char('.'))) {
        while (s.endsWith(QLatin1Char('0'))) {
            s.chop(1);
        }
        if (s.endsWith(QLatin1Char('.'))) {
            s.chop(1);
        }
    }
    return s;
}

}  // namespace

void SetProcessFormats() {
    std::setlocale(LC_NUMERIC, "C");
    QLocale c = QLocale::c();
    c.setNumberOptions(QLocale::OmitGroupSeparator | QLocale::RejectGroupSeparator);
    QLocale::setDefault(c);
}

QString FormatDate(const QDate& date) {
    if (!date.isValid()) {
        return {};
    }
    return QString::asprintf("%02d/%02d/%04d", date.day(), date.month(), date.year());
}

QString FormatTime(const QTime& time) {
    if (!time.isValid()) {
        return {};
    }
    return QString::asprintf("%02d:%02d", time.hour(), time.minute());
}

std::optional<QDate> ParseDate(const QString& text) {
    static const QRegularExpression pattern(QStringLiteral("^(\\d{1,2})/(\\d{1,2})/(\\d{4})$"));
    const QRegularExpressionMatch m = pattern.match(text.trimmed());
    if (!m.hasMatch()) {
        return std::nullopt;
    }
    const QDate date(m.captured(3).toInt(), m.captured(2).toInt(), m.captured(1).toInt());
    if (!date.isValid()) {
        return std::nullopt;
    }
    return date;
}

std::optional<QTime> ParseTime(const QString& text) {
    static const QRegularExpression pattern(QStringLiteral("^(\\d{1,2}):(\\d{2})(?::(\\d{2}))?$"));
    const QRegularExpressionMatch m = pattern.match(text.trimmed());
    if (!m.hasMatch()) {
        return std::nullopt;
    }
    const int seconds = m.captured(3).isEmpty() ? 0 : m.captured(3).toInt();
    const QTime time(m.captured(1).toInt(), m.captured(2).toInt(), seconds);
    if (!time.isValid()) {
        return std::nullopt;
    }
    return time;
}

QString FormatFloat(double value) {
    if (std::isnan(value)) {
        return QStringLiteral("NAN");
    }
    if (std::isinf(value)) {
        return value > 0 ? QStringLiteral("INF") : QStringLiteral("-INF");
    }
    if (value == 0) {
        return QStringLiteral("0");  // also for -0
    }
    // The decimal exponent after rounding to 15 significant digits decides the layout.
    // std::to_chars ignores the C locale, so a user locale with "," cannot leak in.
    char buffer[400];
    const auto sci =
        std::to_chars(buffer, buffer + sizeof(buffer), value, std::chars_format::scientific, 14);
    const std::string_view text(buffer, static_cast<size_t>(sci.ptr - buffer));
    const size_t e = text.find('e');
    int exponent = 0;
    std::from_chars(buffer + e + 1 + (buffer[e + 1] == '+' ? 1 : 0), sci.ptr, exponent);
    if (exponent >= 15 || std::fabs(value) < 0.00001) {
        const QString mantissa =
            StripTrailingZeros(QString::fromLatin1(buffer, static_cast<qsizetype>(e)));
        return mantissa + QLatin1Char('E') + QString::number(exponent);
    }
    const auto fixed = std::to_chars(buffer, buffer + sizeof(buffer), value,
                                     std::chars_format::fixed, 14 - exponent);
    return StripTrailingZeros(QString::fromLatin1(buffer, fixed.ptr - buffer));
}

double ParseFloatDef(const QString& text, double def) {
    static const QRegularExpression pattern(
        QStringLiteral("^[+-]?(\\d+\\.?\\d*|\\.\\d+)([eE][+-]?\\d+)?$"));
    const QString t = text.trimmed();
    if (!pattern.match(t).hasMatch()) {
        return def;
    }
    bool ok = false;
    const double v = QLocale::c().toDouble(t, &ok);
    return ok && std::isfinite(v) ? v : def;
}

double DateTimeToDays(const QDateTime& dateTime) {
    if (!dateTime.isValid()) {
        return 0;
    }
    const QDateTime local = dateTime.toLocalTime();
    const double days = static_cast<double>(Epoch().daysTo(local.date()));
    const double fraction = local.time().msecsSinceStartOfDay() / kMsPerDay;
    return days < 0 ? days - fraction : days + fraction;
}

QDateTime DaysToDateTime(double days) {
    if (!std::isfinite(days) || std::fabs(days) > 1e11) {
        return {};
    }
    double whole = std::trunc(days);
    qint64 ms = std::llround(std::fabs(days - whole) * kMsPerDay);
    if (ms >= static_cast<qint64>(kMsPerDay)) {
        // Rounded up to the next midnight; the time of day counts forward for negative days too.
        whole += 1;
        ms = 0;
    }
    const QDate date = Epoch().addDays(static_cast<qint64>(whole));
    if (!date.isValid()) {
        return {};
    }
    return QDateTime(date, QTime::fromMSecsSinceStartOfDay(static_cast<int>(ms)));
}
