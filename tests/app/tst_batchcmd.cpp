#include "BatchCmd.h"
#include "BatchScript.h"

#include <QTemporaryDir>
#include <QtTest>

// Parsing of batch command lines and of script files, without the engine.
class TstBatchCmd : public QObject
{
    Q_OBJECT
private slots:
    void parse_data();
    void parse();
    void numbers_data();
    void numbers();
    void scriptLines_data();
    void scriptLines();
    void refusedFilesKeepCommands_data();
    void refusedFilesKeepCommands();
};

void TstBatchCmd::parse_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("cmd");
    QTest::addColumn<QStringList>("args");
    QTest::newRow("word and args") << "images_load /data *.img" << "images_load" << QStringList{"/data", "*.img"};
    QTest::newRow("quoted blank, tabs") << "\tsave_dir \"/a b\"\tx " << "save_dir" << QStringList{"/a b", "x"};
    QTest::newRow("quoted empty ends args") << "cmd a \"\" b" << "cmd" << QStringList{"a"};
    QTest::newRow("white space only") << "  " << "" << QStringList{};
}

void TstBatchCmd::parse()
{
    QFETCH(QString, line);
    const BatchCmd command(line);
    QCOMPARE(command.line, line);
    QTEST(command.cmd, "cmd");
    QTEST(command.args, "args");
}

void TstBatchCmd::numbers_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<double>("arg0");
    QTest::addColumn<double>("arg1");
    QTest::addColumn<int>("firstInt");
    QTest::addColumn<bool>("flag");
    QTest::newRow("flag on") << "c 1 2.5" << 1.0 << 2.5 << 1 << true;
    QTest::newRow("flag needs exactly 1") << "c 2 -1e3" << 2.0 << -1000.0 << 2 << false;
    QTest::newRow("real is no integer") << "c 1.0 x" << 1.0 << 0.0 << 0 << false;
    QTest::newRow("beyond 32 bits") << "c 2147483648 inf" << 2147483648.0 << 0.0 << 0 << false;
    QTest::newRow("lowest int, nan") << "c -2147483648 nan" << -2147483648.0 << 0.0 << std::numeric_limits<int>::min() << false;
    QTest::newRow("missing") << "c" << 0.0 << 0.0 << 0 << false;
}

void TstBatchCmd::numbers()
{
    QFETCH(QString, line);
    const BatchCmd command(line);
    QTEST(command.firstReal(), "arg0");
    QTEST(command.realArg(1), "arg1");
    QCOMPARE(command.realArg(-1), 0.0);
    QTEST(command.firstInt(), "firstInt");
    QTEST(command.firstFlag(), "flag");
    QVERIFY(command.isCmd("C") && !command.isCmd("cc"));
}

void TstBatchCmd::scriptLines_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QStringList>("commands");
    QTest::newRow("empty") << QByteArray() << QStringList{};
    QTest::newRow("comments, blanks kept") << QByteArray("# head\n\na # c\n  \r\n:echo \"#\"\n")
                                           << QStringList{"a ", "  ", ":echo \"#\""};
    QTest::newRow("continued twice") << QByteArray("load /d \\\n  *.img\\ # more\n *.tif\nb")
                                     << QStringList{"load /d   *.img *.tif", "b"};
    QTest::newRow("comment line ends it") << QByteArray("a \\\n# note\nb") << QStringList{"a ", "b"};
    QTest::newRow("continued last line") << QByteArray("a\nb \\  \n") << QStringList{"a", "b "};
    QTest::newRow("lone backslashes") << QByteArray("\\\n\\\nc\n\\") << QStringList{"c"};
    QTest::newRow("longest line") << QByteArray(maxBatchCommandLength, 'x') << QStringList{QString(maxBatchCommandLength, 'x')};
    QTest::newRow("most lines") << QByteArray("a\n").repeated(maxBatchScriptLines)
                                << QStringList(maxBatchScriptLines, "a");
}

void TstBatchCmd::scriptLines()
{
    QFETCH(QByteArray, text);
    QStringList commands{"old"};
    QString refusal;
    QVERIFY(batchScriptLines(text, commands, refusal));
    QTEST(commands, "commands");
}

void TstBatchCmd::refusedFilesKeepCommands_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("message");
    QTest::newRow("line too long") << "a\n" + QByteArray(maxBatchCommandLength - 1, 'x') + "\\\nyy"
                                   << "Batch file line 3 is longer than 8192 characters";
    QTest::newRow("too many lines") << QByteArray("a\n").repeated(maxBatchScriptLines) + "b"
                                    << "Batch file has more than 100000 lines";
    QTest::newRow("too large") << QByteArray(maxBatchScriptBytes + 1, '#') << "Batch file is larger than 4194304 bytes";
    QTest::newRow("missing") << QByteArray() << "Can't open batch file";
}

void TstBatchCmd::refusedFilesKeepCommands()
{
    QFETCH(QByteArray, text);
    QFETCH(QString, message);
    QTemporaryDir dir;
    const QString name = dir.filePath("run.bat");
    QFile file(name);
    QVERIFY(text.isEmpty() || (file.open(QIODevice::WriteOnly) && file.write(text) == text.size()));
    file.close();
    QStringList commands{"old"};
    QTest::ignoreMessage(QtDebugMsg, qPrintable(message + " \"" + name + "\""));
    QVERIFY(!readBatchScript(name, commands));
    QCOMPARE(commands, QStringList{"old"});
}

QTEST_GUILESS_MAIN(TstBatchCmd)
#include "tst_batchcmd.moc"
