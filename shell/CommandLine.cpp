#include "shell/CommandLine.h"

#include "services/TServiceTablesWrapper.h"

namespace {

bool IsBlank(QChar c) {
    return c.unicode() >= 1 && c.unicode() <= 32;
}

}  // namespace

QStringList CommandLine::Split(const QString& text) {
    // A NUL ends the text, as it ends a C string; it would otherwise stop the scan without being
    // skipped.
    QString s = text.left(text.indexOf(QChar(0)) < 0 ? text.size() : text.indexOf(QChar(0)));
    for (QChar& c : s) {
        if (c >= u'a' && c <= u'z') {
            c = QChar(c.unicode() - 32);
        }
    }
    QStringList items;
    qsizetype i = 0;
    const qsizetype n = s.size();
    while (i < n && IsBlank(s[i])) {
        ++i;
    }
    while (i < n) {
        QString item;
        if (s[i] == u'"') {
            ++i;
            while (i < n) {
                if (s[i] == u'"') {
                    if (i + 1 < n && s[i + 1] == u'"') {
                        item += u'"';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                item += s[i++];
            }
        } else {
            const qsizetype start = i;
            while (i < n && s[i].unicode() > 32 && s[i] != u',') {
                ++i;
            }
            item = s.mid(start, i - start);
        }
        items.append(item);
        while (i < n && IsBlank(s[i])) {
            ++i;
        }
        if (i < n && s[i] == u',') {
            ++i;
            while (i < n && IsBlank(s[i])) {
                ++i;
            }
        }
    }
    return items;
}

CommandLine::Action CommandLine::Interpret(const QString& text,
                                           const TServiceTablesWrapper& tables) {
    QStringList items = Split(text);
    if (!items.isEmpty()) {
        items.removeFirst();
    }
    const qsizetype count = items.size();
    while (items.size() < 2) {
        items.append(QString());
    }
    const QString& w1 = items[0];
    const QString& w2 = items[1];

    if (count == 1) {
        if (const std::int32_t id = tables.FindServiceByKey(w1); id != 0) {
            return {Kind::Start, id};
        }
    }
    if (w1 == u"PLAY") {
        return {Kind::Start, tables.FindServiceByKey(w2)};
    }
    if (w1 == u"QUIET") {
        return {Kind::Start, 0};
    }
    // The wake-up timer starts the program with TIMERWAKEUP only to have it running; the timer
    // manager does the rest.
    if (w1.isEmpty() || w1 == u"NUL" || w1 == u"NILL" || w1 == u"TIMERWAKEUP") {
        return {Kind::Nothing, 0};
    }
    return {Kind::Invalid, 0};
}

QString CommandLine::Join(const QStringList& arguments) {
    QStringList quoted;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& a = arguments[i];
        bool needsQuotes = a.isEmpty();
        for (QChar c : a) {
            // A comma typed in the words separates them, as a blank does; only the program's
            // path keeps its commas.
            if (c.unicode() <= 32 || c == u'"' || (i == 0 && c == u',')) {
                needsQuotes = true;
                break;
            }
        }
        if (needsQuotes) {
            QString q = a;
            q.replace(QStringLiteral("\""), QStringLiteral("\"\""));
            quoted.append(u'"' + q + u'"');
        } else {
            quoted.append(a);
        }
    }
    return quoted.join(u' ');
}

int CommandLine::TakeShowCommand(QStringList& arguments) {
    int show = 1;
    for (qsizetype i = arguments.size() - 1; i >= 1; --i) {
        if (arguments[i] == u"--minimized") {
            show = 7;
            arguments.removeAt(i);
        } else if (arguments[i] == u"--maximized") {
            show = 3;
            arguments.removeAt(i);
        }
    }
    return show;
}
