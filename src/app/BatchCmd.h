#pragma once

#include <QMetaType>
#include <QString>
#include <QStringList>

// One parsed batch command line: the command word and its arguments. A plain value;
// the batch engine hands the window the address of the one it has in flight.
class BatchCmd
{
public:
    BatchCmd() = default;
    // `cmd` is the first item of the line, `args` the items after it up to the
    // first empty one (a quoted "" ends the list; what follows it is ignored).
    explicit BatchCmd(const QString &line);

    // Command words are case-insensitive.
    bool isCmd(const QString &keyword) const;
    // Argument i as a real; 0 when missing, unparsable or not finite.
    double realArg(qsizetype i) const;
    double firstReal() const { return realArg(0); }
    // Argument 0 as a base-10 integer; 0 when missing, unparsable or beyond 32 bits.
    int firstInt() const;
    // Flags are on exactly when the first argument reads as the integer 1.
    bool firstFlag() const { return firstInt() == 1; }

    QString line; // the whole line as stored in the script, comment removed
    QString cmd;
    QStringList args;
};

Q_DECLARE_METATYPE(const BatchCmd *)
