#pragma once

#include <QString>
#include <QStringList>

// The text-line syntax shared by the configuration file, batch scripts and the
// ITEX comment: white-space separated items, double-quoted items may hold blanks,
// a hash outside quotes starts a comment.

// The part of the line before its comment. Double quotes and apostrophes toggle
// one shared in-quote flag; a '#' met outside quotes starts the comment.
QString removeComment(const QString &line);

// True when the line, without its comment and with white space simplified, is empty.
bool isBlankLine(const QString &line);

// Cuts the first item off `text` into `item` and returns the rest of the text.
// A quoted item loses its quotes; an unquoted one ends at the next white space.
QString nextItem(const QString &text, QString &item);

// The text after the first item, without the white space before it: the rest of the line
// as written, quotes and all.
QString afterFirstItem(const QString &line);

// Drops prefix.size() leading characters, then collects items while text remains
// (a rest of white space only yields one final empty item).
QStringList itemsAfter(const QString &line, const QString &prefix);

// Exact, case-sensitive prefix test.
bool startsWith(const QString &line, const QString &prefix);

// When the last non-white-space character is a backslash, cuts the line just
// before it (white space before the backslash stays) and returns true.
bool chopContinuation(QString &line);
