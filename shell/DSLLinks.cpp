#include "shell/DSLLinks.h"

#include <QUrl>

namespace {

bool IsLinkCharacter(QChar c) {
    const char16_t u = c.unicode();
    if ((u >= u'A' && u <= u'Z') || (u >= u'a' && u <= u'z') || (u >= u'0' && u <= u'9')) {
        return true;
    }
    switch (u) {
        case u'%':
        case u'&':
        case u'+':
        case u'-':
        case u'/':
        case u':':
        case u'=':
        case u'?':
        case u'@':
        case u'_':
        case u'~':
            return true;
        default:
            return false;
    }
}

bool IsDigit(QChar c) {
    return c.unicode() >= u'0' && c.unicode() <= u'9';
}

}  // namespace

std::pair<int, int> FindLink(const QString& text, int from) {
    // Positions below are 1-based in s, as the rule is stated; at(k) reads position k.
    const QString s = u' ' + text + QStringLiteral("  ");
    const auto at = [&s](int k) { return s.at(k - 1); };
    int mark = from;
    int dots = 0;
    bool bad = false;
    for (int k = from + 1; k <= s.size() - 1; ++k) {
        const QChar c = at(k);
        if (IsLinkCharacter(c)) {
            continue;
        }
        if (c == u'.') {
            if (at(k - 1) != u'.') {
                ++dots;
            } else if (at(k + 1) == u' ') {
                ++dots;
            } else {
                bad = true;
            }
            continue;
        }
        if (c == u' ') {
            const int n = k - mark - 1;
            if (dots >= 1 && !bad && n >= 5) {
                int length = n;
                if (at(k - 1) == u'.') {
                    --dots;
                    length = n - 1;
                }
                if (dots >= 2) {
                    return {mark, length};
                }
                if (dots == 1) {
                    // The link occupies positions mark + 1 .. mark + length of s.
                    bool digit = false;
                    for (int p = mark + length - 2; p <= mark + length; ++p) {
                        digit = digit || IsDigit(at(p));
                    }
                    if (!digit) {
                        return {mark, length};
                    }
                }
            }
            dots = 0;
            bad = false;
            mark = k;
            continue;
        }
        bad = true;
    }
    return {0, 0};
}

QString MakeLinkTarget(const QString& text) {
    const QString lower = text.toLower();
    // "https:" counts as a scheme too, or a secure address would become "http://https://...".
    if (lower.contains(QStringLiteral("http:")) || lower.contains(QStringLiteral("https:")) ||
        lower.contains(QStringLiteral("mailto:"))) {
        return text;
    }
    const int a = static_cast<int>(text.indexOf(u'@')) + 1;
    const int q = static_cast<int>(text.indexOf(u'/')) + 1;
    if (a == 0 || (q >= 1 && q <= a)) {
        return QStringLiteral("http://") + text;
    }
    return QStringLiteral("mailto:") + text;
}

bool IsOpenableLink(const QString& target) {
    const QUrl url(target);
    if (!url.isValid()) {
        return false;
    }
    const QString scheme = url.scheme().toLower();
    if (scheme == u"mailto") {
        return !url.path().isEmpty();
    }
    return (scheme == u"http" || scheme == u"https") && !url.host().isEmpty();
}
