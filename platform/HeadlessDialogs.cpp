#include "platform/HeadlessDialogs.h"

#include <cstdio>

DialogResult HeadlessDialogs::MessageBox(DialogKind kind, const QString& text,
                                         DialogButtons buttons) {
    // One line per box: each "\n\r" line break of a message becomes one blank.
    QString line = text;
    line.replace(QStringLiteral("\n\r"), QStringLiteral(" "));
    line.replace(QLatin1Char('\n'), QLatin1Char(' '));
    line.replace(QLatin1Char('\r'), QLatin1Char(' '));
    std::fprintf(stderr, "Tunora: %s: %s\n", qPrintable(KindName(kind)), qPrintable(line));
    std::fflush(stderr);
    return NegativeAnswer(buttons);
}

std::optional<SaveFileAnswer> HeadlessDialogs::SaveFile(const SaveFileRequest&) {
    return std::nullopt;
}

std::optional<QString> HeadlessDialogs::BrowseFolder(const QString&, const QString&) {
    return std::nullopt;
}
