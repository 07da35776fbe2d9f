#include "Config.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

// Command-line options and configuration files, as main reads them at start-up.
class TstConfig : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void commandLine_data();
    void commandLine();
    void entriesAndLines();
    void includes();
    void includeCycles();
    void deepNestingIsBounded();

private:
    void write(const QString &name, const QByteArray &text);
    std::unique_ptr<QTemporaryDir> dir;
    QString previousDir;
};

void TstConfig::init()
{
    dir = std::make_unique<QTemporaryDir>();
    QVERIFY(dir->isValid());
    // Included names resolve against the working directory, as at start-up.
    previousDir = QDir::currentPath();
    QDir::setCurrent(dir->path());
}

void TstConfig::cleanup()
{
    QDir::setCurrent(previousDir);
}

void TstConfig::write(const QString &name, const QByteArray &text)
{
    QFile f(dir->filePath(name));
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(text);
}

void TstConfig::commandLine_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("entries"); // key=value;... of every entry, in table order
    QTest::addColumn<QString>("configFile");
    QTest::newRow("none") << QStringList{"zorvel"} << "" << "config.cfg";
    QTest::newRow("value and flag") << QStringList{"zorvel", "-c", "a.cfg", "-nw"} << "-c=a.cfg;-nw=" << "a.cfg";
    QTest::newRow("extra words are consumed")
        << QStringList{"zorvel", "-b", "run.bat", "spare", "-x"} << "-b=run.bat;-x=" << "config.cfg";
    // A negative number is an option of its own, not a value.
    QTest::newRow("negative number") << QStringList{"zorvel", "-d", "-5"} << "-d=;-5=" << "config.cfg";
    QTest::newRow("repeated option")
        << QStringList{"z", "-d", "/a", "-e", "-d", "/b"} << "-d=/b;-e=" << "config.cfg";
    QTest::newRow("-config wins over -c")
        << QStringList{"z", "-config", "two.cfg", "-c", "one.cfg"} << "-config=two.cfg;-c=one.cfg" << "two.cfg";
}

void TstConfig::commandLine()
{
    QFETCH(QStringList, args);
    QFETCH(QString, entries);
    QFETCH(QString, configFile);
    Config cfg;
    cfg.parseArguments(args);
    QStringList got;
    for (const char *key : {"zorvel", "z", "spare", "run.bat", "-c", "-config", "-nw", "-b", "-x", "-d", "-5", "-e"})
        if (cfg.contains(key))
            got << QString(key) + "=" + cfg.value(key, "default");
    QStringList expected = entries.isEmpty() ? QStringList() : entries.split(';');
    std::sort(got.begin(), got.end());
    std::sort(expected.begin(), expected.end());
    QCOMPARE(got, expected);
    QCOMPARE(cfg.configFileName(), configFile);
}

void TstConfig::entriesAndLines()
{
    Config cfg;
    cfg.parseArguments({"z", "-d", "/cmd"});
    write("a.cfg", "ct_threads 4\r\n\n   # comment only\nDataRoot /data/x\nct_threads 8\n-nw\n"
                   "SaveName \"my run\" third  # note\nsay \"it's\" # kept\nEmpty \"\"\n");
    QVERIFY(cfg.read("a.cfg"));
    QCOMPARE(cfg.value("ct_threads"), QString("8"));
    QCOMPARE(cfg.value("DataRoot"), QString("/data/x"));
    QCOMPARE(cfg.value("-nw", "default"), QString());
    QCOMPARE(cfg.value("-d"), QString("/cmd"));
    QCOMPARE(cfg.value("SaveName"), QString("my run"));
    QCOMPARE(cfg.value("Empty", "default"), QString());
    QVERIFY(!cfg.contains("dataroot"));
    QCOMPARE(cfg.value("missing", "fallback"), QString("fallback"));
    QCOMPARE(cfg.lines(), (QStringList{"ct_threads 4", "DataRoot /data/x", "ct_threads 8", "-nw",
                                       "SaveName \"my run\" third  ", "say \"it's\" # kept", "Empty \"\""}));

    QTest::ignoreMessage(QtDebugMsg, "Can't open config file :  \"config.cfg\"");
    QVERIFY(!Config().read("config.cfg"));
}

void TstConfig::includes()
{
    Config cfg;
    write("inner.cfg", "inner 1\n");
    // A device would never end: it is refused like a missing file.
    write("outer.cfg", "first a\ninclude inner.cfg\nINCLUDE nowhere.cfg\nInclude inner.cfg\nINCLUDE /dev/zero\nlast b\n");
    QTest::ignoreMessage(QtDebugMsg, "Can't open config file :  \"nowhere.cfg\"");
    QTest::ignoreMessage(QtDebugMsg, "Can't open config file :  \"/dev/zero\"");
    QVERIFY(cfg.read("outer.cfg"));
    // The same file included twice in a row (not nested) is read twice.
    QCOMPARE(cfg.lines(), (QStringList{"first a", "include inner.cfg", "inner 1", "INCLUDE nowhere.cfg",
                                       "Include inner.cfg", "inner 1", "INCLUDE /dev/zero", "last b"}));
    QVERIFY(cfg.contains("inner"));
    QVERIFY(!cfg.contains("include") && !cfg.contains("INCLUDE"));
}

void TstConfig::includeCycles()
{
    Config cfg;
    write("self.cfg", "a 1\nINCLUDE self.cfg\nb 2\n");
    QTest::ignoreMessage(QtDebugMsg, "Can't open config file (include cycle or nesting too deep) :  \"self.cfg\"");
    QVERIFY(cfg.read("self.cfg"));
    QCOMPARE(cfg.lines(), (QStringList{"a 1", "INCLUDE self.cfg", "b 2"}));

    Config pair;
    write("x.cfg", "x 1\nINCLUDE y.cfg\n");
    write("y.cfg", "y 1\nINCLUDE ./x.cfg\n");
    QTest::ignoreMessage(QtDebugMsg, "Can't open config file (include cycle or nesting too deep) :  \"./x.cfg\"");
    QVERIFY(pair.read("x.cfg"));
    QCOMPARE(pair.lines(), (QStringList{"x 1", "INCLUDE y.cfg", "y 1", "INCLUDE ./x.cfg"}));
}

void TstConfig::deepNestingIsBounded()
{
    const int files = Config::maxIncludeDepth + 4;
    for (int i = 0; i < files; ++i)
        write(QString("n%1.cfg").arg(i), QString("level%1 %1\nINCLUDE n%2.cfg\n").arg(i).arg(i + 1).toUtf8());
    Config cfg;
    QTest::ignoreMessage(QtDebugMsg, qPrintable(QString("Can't open config file (include cycle or nesting too deep) :  "
                                                        "\"n%1.cfg\"").arg(Config::maxIncludeDepth)));
    QVERIFY(cfg.read("n0.cfg"));
    QVERIFY(cfg.contains(QString("level%1").arg(Config::maxIncludeDepth - 1)));
    QVERIFY(!cfg.contains(QString("level%1").arg(Config::maxIncludeDepth)));
}

QTEST_GUILESS_MAIN(TstConfig)
#include "tst_config.moc"
