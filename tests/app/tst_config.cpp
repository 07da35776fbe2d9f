#include "Config.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

// Command-line options and configuration files, as main reads them at start-up.
class TstConfig : public QObject
{
    Q_OBJECT
private slots:
    void commandLine_data();
    void commandLine();
    void read_data();
    void read();
};

void TstConfig::commandLine_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QStringList>("entries"); // key=value of every entry, sorted
    QTest::addColumn<QString>("configFile");
    QTest::newRow("none") << QStringList{"zorvel"} << QStringList{} << "config.cfg";
    QTest::newRow("value and flag") << QStringList{"zorvel", "-c", "a.cfg", "-nw"} << QStringList{"-c=a.cfg", "-nw="} << "a.cfg";
    QTest::newRow("extra words are consumed") << QStringList{"zorvel", "-b", "run.bat", "spare", "-x"} << QStringList{"-b=run.bat", "-x="} << "config.cfg";
    // A negative number is an option of its own, not a value.
    QTest::newRow("negative number") << QStringList{"zorvel", "-d", "-5"} << QStringList{"-5=", "-d="} << "config.cfg";
    QTest::newRow("repeated option") << QStringList{"z", "-d", "/a", "-e", "-d", "/b"} << QStringList{"-d=/b", "-e="} << "config.cfg";
    QTest::newRow("-config wins over -c") << QStringList{"z", "-config", "two.cfg", "-c", "one.cfg"} << QStringList{"-c=one.cfg", "-config=two.cfg"} << "two.cfg";
}

void TstConfig::commandLine()
{
    QFETCH(QStringList, args);
    Config cfg;
    cfg.parseArguments(args);
    QStringList entries;
    for (const char *key : {"zorvel", "z", "spare", "run.bat", "-c", "-config", "-nw", "-b", "-x", "-d", "-5", "-e"})
        if (cfg.contains(key))
            entries << QString(key) + "=" + cfg.value(key, "default");
    entries.sort();
    QTEST(entries, "entries");
    QTEST(cfg.configFileName(), "configFile");
}

// Files ("name|text") read from the top one after the command line "-d /cmd": the lines
// stored, the debug lines of refused files and entries by key ("~" for absent).
void TstConfig::read_data()
{
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QString>("top");
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QStringList>("log");
    QTest::addColumn<QStringList>("entries");
    const QString refused = "Can't open config file :  \"%1\"";
    const QString cycle = "Can't open config file (include cycle or nesting too deep) :  \"%1\"";
    QTest::newRow("entries and lines")
        << QStringList{"a.cfg|ct_threads 4\r\n\n   # comment only\nDataRoot /data/x\nct_threads 8\n-nw\n"
                       "SaveName \"my run\" third  # note\nsay \"it's\" # kept\nEmpty \"\"\n"}
        << "a.cfg"
        << QStringList{"ct_threads 4", "DataRoot /data/x", "ct_threads 8", "-nw", "SaveName \"my run\" third  ", "say \"it's\" # kept", "Empty \"\""}
        << QStringList{}
        << QStringList{"ct_threads=8", "DataRoot=/data/x", "-nw=", "-d=/cmd", "SaveName=my run", "Empty=", "dataroot=~"};
    QTest::newRow("missing") << QStringList{} << "config.cfg" << QStringList{} << QStringList{refused.arg("config.cfg")} << QStringList{};
    // A device would never end: it is refused like a missing file. The same file included
    // twice in a row (not nested) is read twice.
    QTest::newRow("includes")
        << QStringList{"inner.cfg|inner 1\n", "outer.cfg|first a\ninclude inner.cfg\nINCLUDE nowhere.cfg\nInclude inner.cfg\nINCLUDE /dev/zero\nlast b\n"}
        << "outer.cfg"
        << QStringList{"first a", "include inner.cfg", "inner 1", "INCLUDE nowhere.cfg", "Include inner.cfg", "inner 1", "INCLUDE /dev/zero", "last b"}
        << QStringList{refused.arg("nowhere.cfg"), refused.arg("/dev/zero")} << QStringList{"inner=1", "include=~", "INCLUDE=~"};
    QTest::newRow("self cycle") << QStringList{"self.cfg|a 1\nINCLUDE self.cfg\nb 2\n"} << "self.cfg"
                                << QStringList{"a 1", "INCLUDE self.cfg", "b 2"} << QStringList{cycle.arg("self.cfg")} << QStringList{};
    QTest::newRow("pair cycle") << QStringList{"x.cfg|x 1\nINCLUDE y.cfg\n", "y.cfg|y 1\nINCLUDE ./x.cfg\n"} << "x.cfg"
                                << QStringList{"x 1", "INCLUDE y.cfg", "y 1", "INCLUDE ./x.cfg"} << QStringList{cycle.arg("./x.cfg")} << QStringList{};
    QStringList chain;
    for (int i = 0; i < Config::maxIncludeDepth + 4; ++i)
        chain << QString("n%1.cfg|level%1 %1\nINCLUDE n%2.cfg\n").arg(i).arg(i + 1);
    QTest::newRow("deep nesting is bounded")
        << chain << "n0.cfg" << QStringList{} << QStringList{cycle.arg(QString("n%1.cfg").arg(Config::maxIncludeDepth))}
        << QStringList{QString("level%1=%1").arg(Config::maxIncludeDepth - 1), QString("level%1=~").arg(Config::maxIncludeDepth)};
}

void TstConfig::read()
{
    QFETCH(QStringList, files);
    QFETCH(QString, top);
    QFETCH(QStringList, lines);
    QFETCH(QStringList, log);
    QFETCH(QStringList, entries);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    // Included names resolve against the working directory, as at start-up.
    const QString previousDir = QDir::currentPath();
    QDir::setCurrent(dir.path());
    for (const QString &file : files) {
        QFile out(file.section('|', 0, 0));
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(file.section('|', 1).toUtf8());
    }
    for (const QString &message : log)
        QTest::ignoreMessage(QtDebugMsg, qPrintable(message));
    Config cfg;
    cfg.parseArguments({"z", "-d", "/cmd"});
    const bool read = cfg.read(top);
    QDir::setCurrent(previousDir);
    QCOMPARE(read, !files.isEmpty());
    if (!lines.isEmpty())
        QCOMPARE(cfg.lines(), lines);
    for (const QString &entry : entries)
        QCOMPARE(cfg.value(entry.section('=', 0, 0), "~"), entry.section('=', 1));
}

QTEST_GUILESS_MAIN(TstConfig)
#include "tst_config.moc"
