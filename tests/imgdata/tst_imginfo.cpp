#include "ItexWriter.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

// The command-line tools end to end: zorvel-imginfo's one line per file and exit status,
// zorvel-recon's refusal of a slice with nothing to reconstruct.
class TstImgInfo : public QObject
{
    Q_OBJECT
private slots:
    void linesAndExitStatus();
    void reconOfAnEmptySlice();
};

void TstImgInfo::linesAndExitStatus()
{
    QTemporaryDir dir;
    const QString image = dir.filePath("p.img"), text = dir.filePath("notes.txt");
    QVERIFY(ItexWriter::write(image, 3, 2, 4, {5, 7, 9, 4000000000u, 6, 8}, 0.25));
    QFile f(text);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("not an image");
    f.close();

    QProcess tool;
    tool.start(ZORVEL_IMGINFO, {image});
    QVERIFY(tool.waitForFinished());
    QCOMPARE(tool.exitCode(), 0);
    QCOMPARE(QString(tool.readAllStandardOutput()), image + ": ITEX 3x2 exp=0.25 min=5 max=4e+09\n");

    tool.start(ZORVEL_IMGINFO, {image, text});
    QVERIFY(tool.waitForFinished());
    QCOMPARE(tool.exitCode(), 1);
    QCOMPARE(QString(tool.readAllStandardOutput()),
             image + ": ITEX 3x2 exp=0.25 min=5 max=4e+09\n" + text + ": unreadable\n");
    QVERIFY(QString(tool.readAllStandardError()).contains("Unknown file type :  \"" + text + "\""));

    tool.start(ZORVEL_IMGINFO, {});
    QVERIFY(tool.waitForFinished());
    QVERIFY(tool.readAllStandardOutput().startsWith("usage: zorvel-imginfo FILE..."));
}

// Three pixels across the axis leave one sample around the centre: no slice to write.
void TstImgInfo::reconOfAnEmptySlice()
{
    QTemporaryDir dir;
    const QString image = dir.filePath("p.img");
    QVERIFY(ItexWriter::write(image, 3, 2, 2, {5, 7, 9, 4, 6, 8}));
    QProcess tool;
    tool.start(ZORVEL_RECON, {"--out", dir.path(), image});
    QVERIFY(tool.waitForFinished());
    QCOMPARE(tool.exitCode(), 1);
    QCOMPARE(QString(tool.readAllStandardError()),
             QString("zorvel-recon: slice 1 is empty: cor 1 leaves 1 detector pixel(s) around the axis\n"));
}

QTEST_GUILESS_MAIN(TstImgInfo)
#include "tst_imginfo.moc"
