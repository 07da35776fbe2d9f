#pragma once

#include <QPair>
#include <QString>
#include <QStringList>
#include <QVector>

// Start-up settings: command-line options and configuration-file entries in one
// ordered key/value table, plus every non-blank configuration line (comment
// removed) in reading order, to be executed later as batch commands.
class Config
{
public:
    // Enters every "-option [value]" of the argument list (argv[0] included in the scan).
    void parseCommandLine(int argc, const char *const argv[]);
    void parseArguments(const QStringList &args);

    // Reads a configuration file and the files it INCLUDEs. False when the file
    // (the top one) cannot be opened; include cycles are refused and reported.
    bool read(const QString &fileName);

    bool contains(const QString &key) const;
    QString value(const QString &key, const QString &defaultValue = QString()) const;
    const QStringList &lines() const { return storedLines; }

    // The configuration file name implied by the entries: "config.cfg", then "-c", then "-config".
    QString configFileName() const;

    void clear();

    // Deepest INCLUDE nesting accepted; deeper files are refused like unopenable ones.
    static constexpr int maxIncludeDepth = 16;

private:
    qsizetype indexOf(const QString &key) const; // -1 when absent
    void setEntry(const QString &key, const QString &value);
    bool readNested(const QString &fileName, int depth);

    QVector<QPair<QString, QString>> entries;
    QStringList storedLines;
    QStringList filesBeingRead; // absolute paths of the open INCLUDE chain
};

// The process-wide configuration, alive from before main until exit.
Config &config();
