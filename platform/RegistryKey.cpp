#include "platform/RegistryKey.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QSaveFile>
#include <QStringList>
#include <mutex>
#include <utility>

#include "platform/RegistryError.h"
#include "platform/XdgFolders.h"

// Hive file format (UTF-8, in the spirit of a .reg export):
//
//   [Software\Tunora\Tunora]
//   @="default value"
//   "Width"=dword:00000140
//   "Playing"="$C0DE"
//
// Names and strings are quoted; inside the quotes \\ \" \n \r \t and \uXXXX (one UTF-16 unit,
// used for other control characters and unpaired surrogates) are the only escapes, so any
// QString round-trips exactly. Key paths and value names compare without regard to case, as the
// registry does. Lines this reader does not understand (comments, other value types, other
// keys) are kept byte for byte on rewrite; a value of another type reads as the wrong type.

namespace {

std::mutex& WriteMutex() {
    static std::mutex mutex;
    return mutex;
}

QString NormalisedKey(const QString& path) {
    qsizetype begin = 0;
    qsizetype end = path.size();
    while (begin < end && path[begin] == QLatin1Char('\\')) {
        ++begin;
    }
    while (end > begin && path[end - 1] == QLatin1Char('\\')) {
        --end;
    }
    return path.mid(begin, end - begin);
}

enum class ValueType { Integer, String, Other };

struct Value {
    QString name;
    ValueType type = ValueType::Other;
    quint32 integer = 0;
    QString text;
};

bool NeedsUnicodeEscape(const QString& s, qsizetype i) {
    const QChar c = s[i];
    const char16_t u = c.unicode();
    if (u < 0x20 || (u >= 0x7F && u <= 0x9F) || u == 0x2028 || u == 0x2029) {
        return true;
    }
    if (c.isHighSurrogate()) {
        return !(i + 1 < s.size() && s[i + 1].isLowSurrogate());
    }
    if (c.isLowSurrogate()) {
        return !(i > 0 && s[i - 1].isHighSurrogate());
    }
    return false;
}

QString Quote(const QString& s) {
    QString out;
    out.reserve(s.size() + 2);
    out += QLatin1Char('"');
    for (qsizetype i = 0; i < s.size(); ++i) {
        const char16_t u = s[i].unicode();
        if (u == u'\\') {
            out += QLatin1String("\\\\");
        } else if (u == u'"') {
            out += QLatin1String("\\\"");
        } else if (u == u'\n') {
            out += QLatin1String("\\n");
        } else if (u == u'\r') {
            out += QLatin1String("\\r");
        } else if (u == u'\t') {
            out += QLatin1String("\\t");
        } else if (NeedsUnicodeEscape(s, i)) {
            out += QString::asprintf("\\u%04X", static_cast<unsigned>(u));
        } else {
            out += s[i];
        }
    }
    out += QLatin1Char('"');
    return out;
}

int HexDigit(QChar c) {
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9') {
        return u - u'0';
    }
    if (u >= u'a' && u <= u'f') {
        return u - u'a' + 10;
    }
    if (u >= u'A' && u <= u'F') {
        return u - u'A' + 10;
    }
    return -1;
}

// Reads a quoted text starting at `pos`; on success `pos` is just past the closing quote.
std::optional<QString> Unquote(const QString& line, qsizetype& pos) {
    if (pos >= line.size() || line[pos] != QLatin1Char('"')) {
        return std::nullopt;
    }
    QString out;
    ++pos;
    while (pos < line.size()) {
        const QChar c = line[pos++];
        if (c == QLatin1Char('"')) {
            return out;
        }
        if (c != QLatin1Char('\\')) {
            out += c;
            continue;
        }
        if (pos >= line.size()) {
            return std::nullopt;
        }
        const char16_t e = line[pos++].unicode();
        switch (e) {
            case u'\\':
            case u'"':
                out += QChar(e);
                break;
            case u'n':
                out += QLatin1Char('\n');
                break;
            case u'r':
                out += QLatin1Char('\r');
                break;
            case u't':
                out += QLatin1Char('\t');
                break;
            case u'u': {
                if (pos + 4 > line.size()) {
                    return std::nullopt;
                }
                unsigned v = 0;
                for (int k = 0; k < 4; ++k) {
                    const int d = HexDigit(line[pos++]);
                    if (d < 0) {
                        return std::nullopt;
                    }
                    v = v * 16 + static_cast<unsigned>(d);
                }
                out += QChar(static_cast<char16_t>(v));
                break;
            }
            default:
                return std::nullopt;
        }
    }
    return std::nullopt;
}

bool OnlyBlanksFrom(const QString& line, qsizetype pos) {
    for (; pos < line.size(); ++pos) {
        if (line[pos] != QLatin1Char(' ') && line[pos] != QLatin1Char('\t')) {
            return false;
        }
    }
    return true;
}

std::optional<Value> ParseValue(const QString& line) {
    Value v;
    qsizetype pos = 0;
    if (line.startsWith(QLatin1Char('@'))) {
        pos = 1;
    } else {
        std::optional<QString> name = Unquote(line, pos);
        if (!name) {
            return std::nullopt;
        }
        v.name = *name;
    }
    if (pos >= line.size() || line[pos] != QLatin1Char('=')) {
        return std::nullopt;
    }
    ++pos;
    if (pos < line.size() && line[pos] == QLatin1Char('"')) {
        std::optional<QString> text = Unquote(line, pos);
        if (text && OnlyBlanksFrom(line, pos)) {
            v.type = ValueType::String;
            v.text = *text;
        }
        return v;
    }
    static const QLatin1String dword("dword:");
    if (QStringView(line).mid(pos).startsWith(dword, Qt::CaseInsensitive)) {
        pos += dword.size();
        quint32 n = 0;
        int digits = 0;
        while (pos < line.size() && HexDigit(line[pos]) >= 0 && digits < 9) {
            n = n * 16 + static_cast<quint32>(HexDigit(line[pos]));
            ++pos;
            ++digits;
        }
        if (digits >= 1 && digits <= 8 && OnlyBlanksFrom(line, pos)) {
            v.type = ValueType::Integer;
            v.integer = n;
        }
    }
    return v;
}

QString RenderValue(const QString& name, const QString& data) {
    return (name.isEmpty() ? QStringLiteral("@") : Quote(name)) + QLatin1Char('=') + data;
}

bool IsSectionHeader(const QString& line, QString* key) {
    const QString t = line.trimmed();
    if (t.size() < 2 || !t.startsWith(QLatin1Char('[')) || !t.endsWith(QLatin1Char(']'))) {
        return false;
    }
    if (key) {
        *key = NormalisedKey(t.mid(1, t.size() - 2));
    }
    return true;
}

// A hive file as lines: the bytes of each as stored (without its "\n"), and the same decoded for
// reading (without a final "\r"). A rewrite writes back the stored bytes of every line it does
// not replace, so a line this reader does not understand survives byte for byte, also when it
// is not UTF-8.
struct HiveLines {
    QList<QByteArray> raw;
    QStringList text;

    qsizetype size() const { return text.size(); }
    void Replace(qsizetype i, const QString& line) {
        raw[i] = line.toUtf8();
        text[i] = line;
    }
    void Insert(qsizetype i, const QString& line) {
        raw.insert(i, line.toUtf8());
        text.insert(i, line);
    }
    void Append(const QString& line) { Insert(size(), line); }
    void RemoveAt(qsizetype i) {
        raw.removeAt(i);
        text.removeAt(i);
    }
};

// nullopt: the file exists but is unreadable.
std::optional<HiveLines> ReadLines(const QString& file) {
    QFile f(file);
    if (!f.exists()) {
        return HiveLines();
    }
    if (!f.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    HiveLines lines;
    lines.raw = f.readAll().split('\n');
    if (!lines.raw.isEmpty() && lines.raw.last().isEmpty()) {
        lines.raw.removeLast();
    }
    for (const QByteArray& bytes : lines.raw) {
        lines.text.append(QString::fromUtf8(bytes.endsWith('\r') ? bytes.chopped(1) : bytes));
    }
    return lines;
}

struct Section {
    qsizetype header = -1;  // index of the "[key]" line; -1 when the key is not in the file
    qsizetype end = 0;      // one past its last line
};

Section FindSection(const QStringList& lines, const QString& key) {
    Section s;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        QString k;
        if (!IsSectionHeader(lines[i], &k)) {
            continue;
        }
        if (s.header >= 0) {
            s.end = i;
            return s;
        }
        if (k.compare(key, Qt::CaseInsensitive) == 0) {
            s.header = i;
        }
    }
    s.end = lines.size();
    return s;
}

// Index of the value's line within the section, or -1.
qsizetype FindValueLine(const QStringList& lines, const Section& s, const QString& name,
                        Value* value) {
    if (s.header < 0) {
        return -1;
    }
    for (qsizetype i = s.header + 1; i < s.end; ++i) {
        std::optional<Value> v = ParseValue(lines[i]);
        if (v && v->name.compare(name, Qt::CaseInsensitive) == 0) {
            if (value) {
                *value = *v;
            }
            return i;
        }
    }
    return -1;
}

std::optional<Value> Lookup(const QString& file, const QString& key, const QString& name) {
    std::optional<HiveLines> lines = ReadLines(file);
    if (!lines) {
        return std::nullopt;
    }
    Value v;
    if (FindValueLine(lines->text, FindSection(lines->text, key), name, &v) < 0) {
        return std::nullopt;
    }
    return v;
}

bool WriteLines(const QString& file, const HiveLines& lines) {
    const QFileInfo info(file);
    if (!QDir().mkpath(info.absolutePath())) {
        return false;
    }
    QByteArray bytes;
    for (const QByteArray& l : lines.raw) {
        bytes += l;
        bytes += '\n';
    }
    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly)) {
        return false;
    }
    if (out.write(bytes) != bytes.size()) {
        out.cancelWriting();
        out.commit();
        return false;
    }
    return out.commit();
}

enum class Outcome { Written, Unchanged, Failed };

// Replaces (or with `line` nullopt deletes) the value `name` of `key` and rewrites the file.
Outcome Modify(const QString& file, const QString& key, const QString& name,
               const std::optional<QString>& line) {
    std::lock_guard<std::mutex> lock(WriteMutex());
    std::optional<HiveLines> read = ReadLines(file);
    if (!read) {
        return Outcome::Failed;  // rewriting would lose what we could not read
    }
    HiveLines lines = std::move(*read);
    Section s = FindSection(lines.text, key);
    const qsizetype at = FindValueLine(lines.text, s, name, nullptr);
    if (!line) {
        if (at < 0) {
            return Outcome::Unchanged;
        }
        lines.RemoveAt(at);
    } else if (at >= 0) {
        lines.Replace(at, *line);
    } else if (s.header >= 0) {
        // After the section's last non-blank line, so a blank separator stays where it was.
        qsizetype insert = s.end;
        while (insert > s.header + 1 && lines.text[insert - 1].trimmed().isEmpty()) {
            --insert;
        }
        lines.Insert(insert, *line);
    } else {
        if (lines.size() > 0 && !lines.text.last().trimmed().isEmpty()) {
            lines.Append(QString());
        }
        lines.Append(QLatin1Char('[') + key + QLatin1Char(']'));
        lines.Append(*line);
    }
    return WriteLines(file, lines) ? Outcome::Written : Outcome::Failed;
}

[[noreturn]] void Raise(const char* format, const QString& name) {
    throw RegistryError(QString::fromLatin1(format).arg(name).toStdString());
}

}  // namespace

RegistryKey::RegistryKey(QString hiveFile, QString keyPath)
    : file_(std::move(hiveFile)), path_(std::move(keyPath)) {}

QString RegistryKey::HiveFile(Hive hive) {
    switch (hive) {
        case Hive::User: {
            const QString env = qEnvironmentVariable("TUNORA_USER_HIVE");
            return env.isEmpty() ? XdgFolders::ConfigHome() + QStringLiteral("/Tunora/Tunora.conf")
                                 : env;
        }
        case Hive::Machine: {
            const QString env = qEnvironmentVariable("TUNORA_MACHINE_HIVE");
            return env.isEmpty() ? QStringLiteral("/etc/xdg/Tunora/Tunora.conf") : env;
        }
        case Hive::Classes: {
            const QString env = qEnvironmentVariable("TUNORA_CLASSES_HIVE");
            if (!env.isEmpty()) {
                return env;
            }
            return QFileInfo(HiveFile(Hive::Machine)).absolutePath() +
                   QStringLiteral("/classes.conf");
        }
    }
    return {};
}

bool RegistryKey::ValueExists(const QString& name) const {
    return Lookup(file_, NormalisedKey(path_), name).has_value();
}

std::int32_t RegistryKey::ReadInteger(const QString& name) const {
    const std::optional<Value> v = Lookup(file_, NormalisedKey(path_), name);
    if (!v) {
        return 0;
    }
    if (v->type != ValueType::Integer) {
        Raise("Invalid data type for '%1'", name);
    }
    return static_cast<std::int32_t>(v->integer);
}

QString RegistryKey::ReadString(const QString& name) const {
    const std::optional<Value> v = Lookup(file_, NormalisedKey(path_), name);
    if (!v) {
        return {};
    }
    if (v->type != ValueType::String) {
        Raise("Invalid data type for '%1'", name);
    }
    return v->text;
}

void RegistryKey::WriteInteger(const QString& name, std::int32_t value) {
    const QString data =
        QStringLiteral("dword:") + QString::asprintf("%08x", static_cast<unsigned>(value));
    if (Modify(file_, NormalisedKey(path_), name, RenderValue(name, data)) == Outcome::Failed) {
        Raise("Failed to set data for '%1'", name);
    }
}

void RegistryKey::WriteString(const QString& name, const QString& value) {
    if (Modify(file_, NormalisedKey(path_), name, RenderValue(name, Quote(value))) ==
        Outcome::Failed) {
        Raise("Failed to set data for '%1'", name);
    }
}

bool RegistryKey::DeleteValue(const QString& name) {
    return Modify(file_, NormalisedKey(path_), name, std::nullopt) == Outcome::Written;
}
