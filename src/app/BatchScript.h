#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// Reading batch script files into command lines. A script is small text written by
// hand; anything far beyond that is refused whole rather than run in part.

constexpr qint64 maxBatchScriptBytes = 4 * 1024 * 1024;
constexpr int maxBatchScriptLines = 100000;
// Longest command, continuation lines joined (a path and its name patterns fit easily).
constexpr int maxBatchCommandLength = 8192;

// Splits script text (UTF-8) into commands: comments removed; a line whose last
// non-blank character is a backslash is joined with the next one (its text up to
// the backslash, then that line), repeatedly, and a continuation on the last line
// ends the command there; empty results are dropped, white-space-only ones kept.
// False, with the reason in `refusal` and `commands` untouched, when a limit is exceeded.
bool batchScriptLines(const QByteArray &text, QStringList &commands, QString &refusal);

// Reads a script file into commands. False, with one debug line naming the file,
// when it cannot be opened or read or is refused; `commands` is then untouched.
bool readBatchScript(const QString &fileName, QStringList &commands);
