#pragma once

#include <QByteArray>
#include <QString>

// The text rules of the HTTP server: request-line decoding and splitting, Basic credentials and
// ICY metadata blocks. Pure functions; any thread.
namespace HTTPText {

// Replaces the percent escapes the server knows (upper-case hexadecimal only, "%25" last so a
// decoded "%" never starts another escape); any other escape stays as it is.
QString DecodeEscapes(QString line);

// Trims `text` and takes the word before its first blank; `text` keeps what follows that blank.
// Without a blank the word is empty and `text` stays whole.
QString SplitWord(QString& text);

// Base64 as the server reads it: four characters a group (a short last group padded with "="),
// every character outside the alphabet ("=" included) worth 0, three bytes a group.
QByteArray DecodeBase64(const QByteArray& text);

// Removes blanks and control characters (code 32 and below) from both ends.
QString TrimControls(const QString& text);

// Basic authentication of `authorization` (the header's value after "Basic ") against the
// password. A password without ":" ignores the user name; one with ":" is a whole user:password.
// Letter case and surrounding blanks do not count.
bool CredentialsMatch(const QString& password, const QString& authorization);

// Audio bytes between two metadata blocks.
constexpr int kMetaInterval = 245760;
// Longest metadata text: 255 blocks of 16 bytes.
constexpr int kMetadataTextLimit = 4080;

// One ICY metadata block: a length byte L, then "StreamTitle='<title>';StreamUrl='';" (UTF-8,
// cut to 4080 bytes at a character boundary) zero-padded to L × 16 bytes. Every "'" of the title
// becomes "’", so the block never carries anything but the title's text.
QByteArray MetadataBlock(const QString& title);

}  // namespace HTTPText
