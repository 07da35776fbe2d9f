#include "DataRoot.h"

#include <QDir>

namespace {
QString &dataRootStorage()
{
    static QString root = defaultDataRoot();
    return root;
}
}

QString defaultDataRoot()
{
    return QStringLiteral("/data");
}

QString dataRoot()
{
    return dataRootStorage();
}

void setDataRoot(const QString &dir)
{
    dataRootStorage() = dir;
}
