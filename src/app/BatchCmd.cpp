#include "BatchCmd.h"

#include "FieldValue.h"
#include "TextLine.h"

BatchCmd::BatchCmd(const QString &line)
    : line(line)
{
    QString rest = nextItem(line, cmd);
    for (;;) {
        QString item;
        rest = nextItem(rest, item);
        if (item.isEmpty())
            break;
        args.append(item);
    }
}

bool BatchCmd::isCmd(const QString &keyword) const
{
    return cmd.toUpper() == keyword.toUpper();
}

double BatchCmd::realArg(qsizetype i) const
{
    return i >= 0 && i < args.size() ? realFieldValue(args.at(i)) : 0.0;
}

int BatchCmd::firstInt() const
{
    return args.isEmpty() ? 0 : intFieldValue(args.first());
}
