#include "Config.h"

#include "TextLine.h"

#include <QDebug>
#include <QFile>
#include <QFileInfo>
#include <QTextStream>

Config &config()
{
    static Config instance;
    return instance;
}

void Config::parseCommandLine(int argc, const char *const argv[])
{
    QStringList args;
    for (int i = 0; i < argc; ++i)
        args.append(QString::fromUtf8(argv[i]));
    parseArguments(args);
}

void Config::parseArguments(const QStringList &args)
{
    qsizetype i = 0;
    while (i < args.size()) {
        const QString &arg = args.at(i);
        ++i;
        if (!arg.startsWith(u'-'))
            continue;
        QString value;
        if (i < args.size() && !args.at(i).startsWith(u'-'))
            value = args.at(i);
        // The option consumes every following non-option argument; only the first is its value.
        while (i < args.size() && !args.at(i).startsWith(u'-'))
            ++i;
        setEntry(arg, value);
    }
}

qsizetype Config::indexOf(const QString &key) const
{
    for (qsizetype i = 0; i < entries.size(); ++i)
        if (entries.at(i).first == key)
            return i;
    return -1;
}

void Config::setEntry(const QString &key, const QString &value)
{
    const qsizetype i = indexOf(key);
    if (i < 0)
        entries.append({key, value});
    else
        entries[i].second = value;
}

bool Config::contains(const QString &key) const
{
    return indexOf(key) >= 0;
}

QString Config::value(const QString &key, const QString &defaultValue) const
{
    const qsizetype i = indexOf(key);
    return i < 0 ? defaultValue : entries.at(i).second;
}

QString Config::configFileName() const
{
    QString name = QStringLiteral("config.cfg");
    if (contains(QStringLiteral("-c")))
        name = value(QStringLiteral("-c"));
    if (contains(QStringLiteral("-config")))
        name = value(QStringLiteral("-config"));
    return name;
}

void Config::clear()
{
    entries.clear();
    storedLines.clear();
    filesBeingRead.clear();
}

bool Config::read(const QString &fileName)
{
    return readNested(fileName, 0);
}

bool Config::readNested(const QString &fileName, int depth)
{
    const QString canonical = QFileInfo(fileName).absoluteFilePath();
    if (depth >= maxIncludeDepth || filesBeingRead.contains(canonical)) {
        qDebug() << "Can't open config file (include cycle or nesting too deep) : " << fileName;
        return false;
    }
    // Only regular files: a device or a pipe (INCLUDE /dev/zero) could block or never end.
    QFile file(fileName);
    if (!QFileInfo(fileName).isFile() || !file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        qDebug() << "Can't open config file : " << fileName;
        return false;
    }
    filesBeingRead.append(canonical);
    QTextStream in(&file);
    QString line;
    while (in.readLineInto(&line)) {
        line = removeComment(line);
        if (isBlankLine(line))
            continue;
        storedLines.append(line);
        QString key, value;
        nextItem(nextItem(line, key), value);
        if (key.toUpper() == QLatin1String("INCLUDE"))
            readNested(value, depth + 1);
        else
            setEntry(key, value);
    }
    filesBeingRead.removeLast();
    return true;
}
