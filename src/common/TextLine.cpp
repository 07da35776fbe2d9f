#include "TextLine.h"

#include <QDebug>

QString removeComment(const QString &line)
{
    bool inQuote = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const QChar c = line.at(i);
        if (c == u'"' || c == u'\'')
            inQuote = !inQuote;
        else if (c == u'#' && !inQuote)
            return line.left(i);
    }
    return line;
}

bool isBlankLine(const QString &line)
{
    return removeComment(line).simplified().isEmpty();
}

QString nextItem(const QString &text, QString &item)
{
    item.clear();
    qsizetype start = 0;
    while (start < text.size() && text.at(start).isSpace())
        ++start;
    if (start >= text.size())
        return QString();

    if (text.at(start) == u'"') {
        const qsizetype close = text.indexOf(u'"', start + 1);
        if (close < 0) {
            qDebug("%s", qUtf8Printable(QString("In a line [%1] item is started from quote but not ended by quote").arg(text)));
            item = text.mid(start + 1);
            return QString();
        }
        item = text.mid(start + 1, close - start - 1);
        return text.mid(close + 1);
    }

    qsizetype end = start;
    while (end < text.size() && !text.at(end).isSpace())
        ++end;
    item = text.mid(start, end - start);
    if (item.endsWith(u'"'))
        qDebug("%s", qUtf8Printable(QString("In a line [%1] item is started from not quote but ended by quote").arg(text)));
    return text.mid(end);
}

QString afterFirstItem(const QString &line)
{
    QString item;
    const QString rest = nextItem(line, item);
    qsizetype start = 0;
    while (start < rest.size() && rest.at(start).isSpace())
        ++start;
    return rest.mid(start);
}

QStringList itemsAfter(const QString &line, const QString &prefix)
{
    QStringList items;
    QString rest = line.mid(prefix.size());
    while (!rest.isEmpty()) {
        QString item;
        rest = nextItem(rest, item);
        items.append(item);
    }
    return items;
}

bool startsWith(const QString &line, const QString &prefix)
{
    return line.startsWith(prefix, Qt::CaseSensitive);
}

bool chopContinuation(QString &line)
{
    qsizetype last = line.size() - 1;
    while (last >= 0 && line.at(last).isSpace())
        --last;
    if (last < 0 || line.at(last) != u'\\')
        return false;
    line.truncate(last);
    return true;
}
