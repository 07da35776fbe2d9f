#include "ItexWriter.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

// The command-line tools end to end: zorvel-imginfo's one line per file and exit status,
// zorvel-recon's refusal of a slice with nothing to reconstruct; an HDF5 series through both.
class TstImgInfo : public QObject
{
    Q_OBJECT
    QTemporaryDir dir;
    QProcess tool;
    QString run(const QString &program, const QStringList &arguments, int exitCode)
    {
        tool.start(program, arguments);
        return tool.waitForFinished() && tool.exitCode() == exitCode ? tool.readAllStandardOutput() : "failed";
    }

private slots:
    void linesAndExitStatus()
    {
        const QString image = dir.filePath("p.img"), text = dir.filePath("notes.txt");
        QVERIFY(ItexWriter::write(image, 3, 2, 4, {5, 7, 9, 4000000000u, 6, 8}, 0.25));
        QFile f(text);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write("not an image") == 12);
        f.close();
        const QString line = image + ": ITEX 3x2 exp=0.25 min=5 max=4e+09\n";
        QCOMPARE(run(ZORVEL_IMGINFO, {image}, 0), line);
        QCOMPARE(run(ZORVEL_IMGINFO, {image, text}, 1), line + text + ": unreadable\n");
        QVERIFY(QString(tool.readAllStandardError()).contains("Unknown file type :  \"" + text + "\""));
        QVERIFY(run(ZORVEL_IMGINFO, {}, 0).startsWith("usage: zorvel-imginfo FILE..."));
    }

    // The original tooth file: described from its datasets, reconstructed from all its
    // projections with the mean of its flats and darks into a float TIFF slice.
    void hdf5Series()
    {
        const QString tooth = QDir(qEnvironmentVariable("ZORVEL_REAL_DATA")).filePath("tooth-h5/tooth.h5");
        if (qEnvironmentVariable("ZORVEL_REAL_DATA").isEmpty() || !QFile::exists(tooth))
            QSKIP("the original tooth file is not there");
        QCOMPARE(run(ZORVEL_IMGINFO, {tooth}, 0), tooth + ": HDF5 Data Exchange 640x2 float32, 181 projections, 10 flats, 10 darks, "
                                                          "angles 0 to 179.006 degrees min=3921.25 max=33891.5\n");
        const QString slice = dir.filePath("slice_00001.tif");
        QVERIFY(run(ZORVEL_RECON, {"--out", dir.path(), "--tiff", "--cor", "295.5", "--slice", "1", tooth}, 0)
                    .startsWith(slice + ": 588x588 from 181 projections, cor 295.5, min "));
        QVERIFY(QFileInfo(slice).size() > 588 * 588 * 4);
    }

    // Three pixels across the axis leave one sample around the centre: no slice to write.
    void reconOfAnEmptySlice()
    {
        const QString image = dir.filePath("p.img");
        QVERIFY(ItexWriter::write(image, 3, 2, 2, {5, 7, 9, 4, 6, 8}));
        QCOMPARE(run(ZORVEL_RECON, {"--out", dir.path(), image}, 1), QString());
        QCOMPARE(QString(tool.readAllStandardError()),
                 QString("zorvel-recon: slice 1 is empty: cor 1 leaves 1 detector pixel(s) around the axis\n"));
    }
};

QTEST_GUILESS_MAIN(TstImgInfo)
#include "tst_imginfo.moc"
