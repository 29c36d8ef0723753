#pragma once

#include <QString>
#include <utility>

// Web and mail addresses in dynamic label text.

// The first link in `text` at or after the word whose preceding blank is at 1-based position
// `from` of " " + text (so 1 searches the whole text). Answers the link's 1-based start in `text`
// and its length, or (0, 0). A link is a word of at least five URL characters with two dots, or
// with one dot and no digit among its last three characters; a full stop ending it is left out.
std::pair<int, int> FindLink(const QString& text, int from);

// The address to open for a link as it stands in the label: kept when it names its scheme,
// otherwise "mailto:" for a mail address and "http://" for everything else.
QString MakeLinkTarget(const QString& text);

// Whether `target` (a MakeLinkTarget result) may be handed to the desktop's URL opener: only web
// (http, https) and mail (mailto) addresses with something after the scheme. A broadcast word
// such as "file:///x/y.sh?http:" names another scheme and is never opened.
bool IsOpenableLink(const QString& target);
