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
    void configFileName_data();
    void configFileName();
    void lastValueWinsAndLinesKept();
    void quotedValueAndComment();
    void includeInAnyCase();
    void includeMissingFile();
    void includeCycleIsReadOnce();
    void deepNestingIsBounded();
    void missingFile();

private:
    QString write(const QString &name, const QString &text);
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

QString TstConfig::write(const QString &name, const QString &text)
{
    QFile f(dir->filePath(name));
    if (!f.open(QIODevice::WriteOnly | QIODevice::Text))
        return QString();
    f.write(text.toUtf8());
    return name;
}

void TstConfig::commandLine_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QStringList>("keys");
    QTest::addColumn<QStringList>("values");
    QTest::newRow("value and flag") << QStringList{"zorvel", "-c", "a.cfg", "-nw"}
                                    << QStringList{"-c", "-nw"} << QStringList{"a.cfg", ""};
    QTest::newRow("extra words are consumed") << QStringList{"zorvel", "-b", "run.bat", "spare", "-x"}
                                              << QStringList{"-b", "spare", "-x"} << QStringList{"run.bat", "", ""};
    // A negative number is an option of its own, not a value.
    QTest::newRow("negative number") << QStringList{"zorvel", "-d", "-5"}
                                     << QStringList{"-d", "-5"} << QStringList{"", ""};
    QTest::newRow("repeated option") << QStringList{"zorvel", "-d", "/a", "-d", "/b"}
                                     << QStringList{"-d"} << QStringList{"/b"};
    QTest::newRow("program path is not an option") << QStringList{"zorvel"}
                                                   << QStringList{"zorvel"} << QStringList{""};
}

void TstConfig::commandLine()
{
    QFETCH(QStringList, args);
    QFETCH(QStringList, keys);
    QFETCH(QStringList, values);
    Config cfg;
    cfg.parseArguments(args);
    for (int i = 0; i < keys.size(); ++i) {
        if (keys[i] == "zorvel" || keys[i] == "spare") {
            QVERIFY(!cfg.contains(keys[i]));
            continue;
        }
        QVERIFY2(cfg.contains(keys[i]), qPrintable(keys[i]));
        QCOMPARE(cfg.value(keys[i], "default"), values[i]);
    }
}

void TstConfig::configFileName_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("name");
    QTest::newRow("default") << QStringList{"z"} << "config.cfg";
    QTest::newRow("-c") << QStringList{"z", "-c", "one.cfg"} << "one.cfg";
    QTest::newRow("-config wins over -c") << QStringList{"z", "-config", "two.cfg", "-c", "one.cfg"} << "two.cfg";
}

void TstConfig::configFileName()
{
    QFETCH(QStringList, args);
    QFETCH(QString, name);
    Config cfg;
    cfg.parseArguments(args);
    QCOMPARE(cfg.configFileName(), name);
}

void TstConfig::lastValueWinsAndLinesKept()
{
    Config cfg;
    cfg.parseArguments({"z", "-d", "/cmd"});
    write("a.cfg", "ct_threads 4\n\n   # comment only\nDataRoot /data/x\nct_threads 8\n-nw\n");
    QVERIFY(cfg.read("a.cfg"));
    QCOMPARE(cfg.value("ct_threads"), QString("8"));
    QCOMPARE(cfg.value("DataRoot"), QString("/data/x"));
    QVERIFY(cfg.contains("-nw"));
    QCOMPARE(cfg.value("-d"), QString("/cmd"));
    QCOMPARE(cfg.lines(), (QStringList{"ct_threads 4", "DataRoot /data/x", "ct_threads 8", "-nw"}));
    QVERIFY(!cfg.contains("datarooT"));
    QCOMPARE(cfg.value("missing", "fallback"), QString("fallback"));
}

void TstConfig::quotedValueAndComment()
{
    Config cfg;
    write("q.cfg", "SaveName \"my run\" third # note\nsay \"it's\" # kept\n");
    QVERIFY(cfg.read("q.cfg"));
    QCOMPARE(cfg.value("SaveName"), QString("my run"));
    QCOMPARE(cfg.lines().at(0), QString("SaveName \"my run\" third "));
    QCOMPARE(cfg.lines().at(1), QString("say \"it's\" # kept"));
}

void TstConfig::includeInAnyCase()
{
    Config cfg;
    write("inner.cfg", "inner 1\n");
    write("outer.cfg", "first a\ninclude inner.cfg\nlast b\n");
    QVERIFY(cfg.read("outer.cfg"));
    QCOMPARE(cfg.lines(), (QStringList{"first a", "include inner.cfg", "inner 1", "last b"}));
    QVERIFY(cfg.contains("inner"));
    QVERIFY(!cfg.contains("include"));
}

void TstConfig::includeMissingFile()
{
    Config cfg;
    write("outer.cfg", "INCLUDE nowhere.cfg\nafter 1\n");
    QTest::ignoreMessage(QtDebugMsg, "Can't open config file :  \"nowhere.cfg\"");
    QVERIFY(cfg.read("outer.cfg"));
    QCOMPARE(cfg.value("after"), QString("1"));
}

void TstConfig::includeCycleIsReadOnce()
{
    Config cfg;
    write("self.cfg", "a 1\nINCLUDE self.cfg\nb 2\n");
    QTest::ignoreMessage(QtDebugMsg, "Can't open config file (include cycle or nesting too deep) :  \"self.cfg\"");
    QVERIFY(cfg.read("self.cfg"));
    QCOMPARE(cfg.lines(), (QStringList{"a 1", "INCLUDE self.cfg", "b 2"}));

    Config pair;
    write("x.cfg", "x 1\nINCLUDE y.cfg\n");
    write("y.cfg", "y 1\nINCLUDE x.cfg\n");
    QTest::ignoreMessage(QtDebugMsg, "Can't open config file (include cycle or nesting too deep) :  \"x.cfg\"");
    QVERIFY(pair.read("x.cfg"));
    QCOMPARE(pair.lines(), (QStringList{"x 1", "INCLUDE y.cfg", "y 1", "INCLUDE x.cfg"}));

    // The same file included twice in a row (not nested) is read twice.
    Config twice;
    write("leaf.cfg", "leaf 1\n");
    write("twice.cfg", "INCLUDE leaf.cfg\nINCLUDE leaf.cfg\n");
    QVERIFY(twice.read("twice.cfg"));
    QCOMPARE(twice.lines().count("leaf 1"), 2);
}

void TstConfig::deepNestingIsBounded()
{
    const int files = Config::maxIncludeDepth + 4;
    for (int i = 0; i < files; ++i)
        write(QString("n%1.cfg").arg(i), QString("level%1 %1\nINCLUDE n%2.cfg\n").arg(i).arg(i + 1));
    write(QString("n%1.cfg").arg(files), "end 1\n");
    Config cfg;
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression(
        QString("^Can't open config file \\(include cycle or nesting too deep\\) :  \"n%1.cfg\"$").arg(Config::maxIncludeDepth)));
    QVERIFY(cfg.read("n0.cfg"));
    QVERIFY(cfg.contains(QString("level%1").arg(Config::maxIncludeDepth - 1)));
    QVERIFY(!cfg.contains(QString("level%1").arg(Config::maxIncludeDepth)));
}

void TstConfig::missingFile()
{
    Config cfg;
    QTest::ignoreMessage(QtDebugMsg, "Can't open config file :  \"config.cfg\"");
    QVERIFY(!cfg.read("config.cfg"));
    QVERIFY(cfg.lines().isEmpty());
}

QTEST_GUILESS_MAIN(TstConfig)
#include "tst_config.moc"
