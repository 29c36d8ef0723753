#include "http/HTTPText.h"

#include <array>
#include <utility>

namespace HTTPText {

QString DecodeEscapes(QString line) {
    static const std::array<std::pair<const char*, const char*>, 27> kEscapes = {{
        {"%0A", "\n"}, {"%0D", "\r"}, {"%24", "$"},  {"%26", "&"}, {"%2B", "+"}, {"%2C", ","},
        {"%2F", "/"},  {"%3A", ":"},  {"%3B", ";"},  {"%3D", "="}, {"%3F", "?"}, {"%40", "@"},
        {"%20", " "},  {"%22", "\""}, {"%3C", "<"},  {"%3E", ">"}, {"%23", "#"}, {"%7B", "{"},
        {"%7D", "}"},  {"%7C", "|"},  {"%5C", "\\"}, {"%5E", "^"}, {"%7E", "~"}, {"%5B", "["},
        {"%5D", "]"},  {"%60", "`"},  {"%25", "%"},
    }};
    for (const auto& [escape, character] : kEscapes) {
        line.replace(QLatin1StringView(escape), QLatin1StringView(character), Qt::CaseSensitive);
    }
    return line;
}

QString SplitWord(QString& text) {
    text = text.trimmed();
    const qsizetype blank = text.indexOf(u' ');
    if (blank < 0) {
        return {};
    }
    QString word = text.left(blank);
    text = text.mid(blank + 1);
    return word;
}

QByteArray DecodeBase64(const QByteArray& text) {
    auto value = [](char c) -> int {
        if (c >= 'A' && c <= 'Z')
            return c - 'A';
        if (c >= 'a' && c <= 'z')
            return c - 'a' + 26;
        if (c >= '0' && c <= '9')
            return c - '0' + 52;
        if (c == '+')
            return 62;
        if (c == '/')
            return 63;
        return 0;
    };
    QByteArray padded = text;
    while (padded.size() % 4 != 0) {
        padded.append('=');
    }
    QByteArray result;
    result.reserve(padded.size() / 4 * 3);
    for (qsizetype i = 0; i < padded.size(); i += 4) {
        const int group = value(padded[i]) << 18 | value(padded[i + 1]) << 12 |
                          value(padded[i + 2]) << 6 | value(padded[i + 3]);
        result.append(static_cast<char>(group >> 16 & 0xFF));
        result.append(static_cast<char>(group >> 8 & 0xFF));
        result.append(static_cast<char>(group & 0xFF));
    }
    return result;
}

QString TrimControls(const QString& text) {
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && text[first].unicode() <= 32) {
        ++first;
    }
    while (last > first && text[last - 1].unicode() <= 32) {
        --last;
    }
    return text.mid(first, last - first);
}

bool CredentialsMatch(const QString& password, const QString& authorization) {
    QString credentials = QString::fromUtf8(DecodeBase64(authorization.toLatin1()));
    if (!password.contains(u':')) {
        credentials = credentials.mid(credentials.indexOf(u':') + 1);
    }
    return TrimControls(password).toUpper() == TrimControls(credentials).toUpper();
}

QByteArray MetadataBlock(const QString& title) {
    // A quote would end the title early and let a label add fields that players act on.
    QString safe = title;
    safe.replace(u'\'', QChar(0x2019));
    QByteArray text = "StreamTitle='" + safe.toUtf8() + "';StreamUrl='';";
    if (text.size() > kMetadataTextLimit) {
        qsizetype cut = kMetadataTextLimit;
        // Not inside a UTF-8 sequence: back up over continuation bytes.
        while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) {
            --cut;
        }
        text.truncate(cut);
    }
    const int blocks = static_cast<int>((text.size() + 15) / 16);
    QByteArray block(1 + blocks * 16, '\0');
    block[0] = static_cast<char>(blocks);
    std::copy(text.cbegin(), text.cend(), block.begin() + 1);
    return block;
}

}  // namespace HTTPText
