#include "BatchScript.h"

#include "TextLine.h"

#include <QDebug>
#include <QFile>
#include <QTextStream>

bool batchScriptLines(const QByteArray &text, QStringList &commands, QString &refusal)
{
    QStringList lines;
    QString command; // the text gathered so far, continuation lines joined
    bool continued = false;
    QTextStream in(text);
    QString line;
    int lineNo = 0;
    while (in.readLineInto(&line)) {
        if (++lineNo > maxBatchScriptLines) {
            refusal = QStringLiteral("Batch file has more than %1 lines").arg(maxBatchScriptLines);
            return false;
        }
        QString part = removeComment(line);
        continued = chopContinuation(part);
        command += part;
        if (command.size() > maxBatchCommandLength) {
            refusal = QStringLiteral("Batch file line %1 is longer than %2 characters").arg(lineNo).arg(maxBatchCommandLength);
            return false;
        }
        if (continued)
            continue;
        if (!command.isEmpty())
            lines.append(command);
        command.clear();
    }
    if (continued && !command.isEmpty())
        lines.append(command);
    commands = lines;
    return true;
}

bool readBatchScript(const QString &fileName, QStringList &commands)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        qDebug() << "Can't open batch file" << fileName;
        return false;
    }
    // One byte more than allowed tells an oversized file (or an endless device) apart.
    const QByteArray text = file.read(maxBatchScriptBytes + 1);
    if (file.error() != QFileDevice::NoError) {
        qDebug() << "Can't read batch file" << fileName;
        return false;
    }
    if (text.size() > maxBatchScriptBytes) {
        qDebug() << qUtf8Printable(QStringLiteral("Batch file is larger than %1 bytes").arg(maxBatchScriptBytes)) << fileName;
        return false;
    }
    QString refusal;
    if (!batchScriptLines(text, commands, refusal)) {
        qDebug() << qUtf8Printable(refusal) << fileName;
        return false;
    }
    return true;
}
