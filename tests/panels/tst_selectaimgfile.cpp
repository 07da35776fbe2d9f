#include "LastWindow.h"
#include "SelectAImgFile.h"

#include "ImgData.h"
#include "ItexWriter.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {
QStringList debugLines;
void collectDebugLines(QtMsgType type, const QMessageLogContext &, const QString &text)
{
    if (type == QtDebugMsg)
        debugLines << text;
}
const QString good = "background-color: rgb(211, 255, 241);";
const QString bad = "background-color: rgb(255, 192, 192);";
}

class TestSelectAImgFile : public QObject
{
    Q_OBJECT
private:
    QTemporaryDir tmp;
    QtMessageHandler previousHandler = nullptr;

    QString path(const QString &name) const { return tmp.filePath(name); }

    // A 3 x 2 ITEX image whose pixel (x, y) holds base + 10 * y + x.
    QString writeImage(const QString &name, quint32 base)
    {
        std::vector<quint32> pixels;
        for (quint32 y = 0; y < 2; ++y)
            for (quint32 x = 0; x < 3; ++x)
                pixels.push_back(base + 10 * y + x);
        const QString fileName = path(name);
        if (!ItexWriter::write(fileName, 3, 2, 2, pixels, 0.5))
            return QString();
        return fileName;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(tmp.isValid());
        previousHandler = qInstallMessageHandler(collectDebugLines);
    }
    void cleanupTestCase() { qInstallMessageHandler(previousHandler); }
    void init() { debugLines.clear(); }

    void constructed()
    {
        SelectAImgFile sel;
        QVERIFY(sel.image == nullptr);
        QVERIFY(!sel.imageView().isVisible());
        QCOMPARE(sel.ExpTimeLE->text(), QString("0.05"));
        QVERIFY(std::abs(sel.defaultExposureTime() - 0.05) <= 1e-15);
        // The exposure-time frame sits right of Clear in the selector's row.
        int row = -1, column = -1, rowSpan = 0, columnSpan = 0;
        const int at = sel.gridLayout_3->indexOf(sel.SelectAImgFileBase);
        QVERIFY(at >= 0);
        sel.gridLayout_3->getItemPosition(at, &row, &column, &rowSpan, &columnSpan);
        QCOMPARE(row, 0);
        QCOMPARE(column, 5);
    }

    void goodLoadShowsTheImage()
    {
        const QString first = writeImage("i0a.img", 100);
        QVERIFY(!first.isEmpty());
        SelectAImgFile sel;
        sel.fileSelected0(first);
        QVERIFY(sel.image != nullptr);
        QCOMPARE(sel.image->imageFileName(), first);
        QCOMPARE(sel.FilePath->styleSheet(), good);
        QVERIFY(sel.imageView().isVisible());
        QCOMPARE(sel.imageView().img.size(), QSize(3, 2));
        QCOMPARE(sel.imageView().img.format(), QImage::Format_Grayscale8);
        // Auto range: the smallest value is black, the largest white.
        QCOMPARE(qGray(sel.imageView().img.pixel(0, 0)), 0);
        QCOMPARE(qGray(sel.imageView().img.pixel(2, 1)), 255);
        const QRegularExpression loadingLine(
            QString(R"(^"\d\d:\d\d:\d\d\.\d\d\d" loading "%1"$)").arg(QRegularExpression::escape(first)));
        QVERIFY2(!debugLines.filter(loadingLine).isEmpty(), qPrintable(debugLines.join('\n')));
    }

    void failedLoadKeepsTheImage_data()
    {
        QTest::addColumn<QString>("badName");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("reason");
        QTest::newRow("not an image") << "notes.img" << QByteArray("just some text\n") << "Unknown file type";
        QTest::newRow("missing file") << "absent.img" << QByteArray() << "Unknown file type";
        QTest::newRow("ITEX with 3-byte pixels")
            << "odd.img" << QByteArray() << "neither 2 nor 4 bytes";
    }
    void failedLoadKeepsTheImage()
    {
        QFETCH(QString, badName);
        QFETCH(QByteArray, content);
        QFETCH(QString, reason);
        const QString badFile = path(badName);
        if (badName == "odd.img") {
            QVERIFY(ItexWriter::writeRaw(badFile,
                                         "Prop_ImageWidth=2,Prop_ImageHeight=2,BytesPerPixel=3,",
                                         QByteArray(12, '\0')));
        } else if (!content.isEmpty()) {
            QFile f(badFile);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(content);
        }
        const QString first = writeImage("keep.img", 100);
        const QString second = writeImage("next.img", 500);
        SelectAImgFile sel;
        sel.fileSelected0(first);
        ImgData *const held = sel.image;
        QVERIFY(held != nullptr);

        debugLines.clear();
        sel.fileSelected0(badFile);
        QCOMPARE(sel.image, held);
        QCOMPARE(sel.image->imageFileName(), first);
        QCOMPARE(sel.FilePath->styleSheet(), bad);
        QCOMPARE(sel.FilePath->text(), badFile);
        QVERIFY2(!debugLines.filter(reason).isEmpty(), qPrintable(debugLines.join('\n')));
        QVERIFY(!debugLines.filter(badFile).isEmpty());

        sel.fileSelected0(second);
        QVERIFY(sel.image != nullptr);
        QCOMPARE(sel.image->imageFileName(), second);
        QCOMPARE(sel.FilePath->styleSheet(), good);
    }

    void exposureTime()
    {
        SelectAImgFile sel;
        sel.setExpTime(0.1);
        QCOMPARE(sel.ExpTimeLE->text(), QString("0.1"));
        QVERIFY(std::abs(sel.defaultExposureTime() - 0.05) <= 1e-15);
        sel.setExpTime(1.0 / 3.0);
        QCOMPARE(sel.ExpTimeLE->text(), QString("0.333333"));
        QSignalSpy clearSpy(&sel, &SelectAFile::clear);
        QTest::mouseClick(sel.Clear, Qt::LeftButton);
        QCOMPARE(clearSpy.count(), 1);
        QCOMPARE(sel.ExpTimeLE->text(), QString("0.05"));
    }

    void clearDropsTheImageKeepsTheColour()
    {
        SelectAImgFile sel;
        sel.fileSelected0(writeImage("c.img", 7));
        QVERIFY(sel.image != nullptr);
        sel.clear0();
        QVERIFY(sel.image == nullptr);
        QVERIFY(sel.FilePath->text().isEmpty());
        QCOMPARE(sel.FilePath->styleSheet(), good);
    }

    void valueReadOut_data()
    {
        QTest::addColumn<int>("ix");
        QTest::addColumn<int>("iy");
        QTest::addColumn<QString>("shown");
        QTest::newRow("inside") << 1 << 1 << "1011";
        QTest::newRow("last pixel") << 2 << 1 << "1012";
        QTest::newRow("left of the image") << -1 << 0 << "0";
        QTest::newRow("right of the image") << 3 << 0 << "0";
        QTest::newRow("below the image") << 0 << 2 << "0";
        QTest::newRow("above the image") << 0 << -1 << "0";
    }
    void valueReadOut()
    {
        QFETCH(int, ix);
        QFETCH(int, iy);
        QFETCH(QString, shown);
        SelectAImgFile sel;
        sel.fileSelected0(writeImage("v.img", 1000));
        sel.imageView().Val->setText("stale");
        // The view reports the pointer pixel, then the selector fills in the value.
        sel.imageView().noticedNewPos(ix, iy);
        QCOMPARE(sel.imageView().Val->text(), shown);
    }

    void readOutTruncatesTowardZero()
    {
        SelectAImgFile sel;
        sel.fileSelected0(writeImage("t.img", 1000));
        sel.noticedNewPos(-0.5, 0.9);
        QCOMPARE(sel.imageView().Val->text(), QString("1000"));
        sel.noticedNewPos(std::nan(""), 0);
        QCOMPARE(sel.imageView().Val->text(), QString("0"));
    }

    void readOutWithoutImageTouchesNothing()
    {
        SelectAImgFile sel;
        sel.imageView().Val->setText("untouched");
        sel.noticedNewPos(1, 1);
        QCOMPARE(sel.imageView().Val->text(), QString("untouched"));
    }

    void showImgBringsTheWindowBack()
    {
        SelectAImgFile sel;
        sel.show();
        QTest::mouseClick(sel.ShowImg, Qt::LeftButton);
        QVERIFY(!sel.imageView().isVisible()); // nothing to show yet
        sel.fileSelected0(writeImage("s.img", 1));
        sel.hide();
        QVERIFY(!closingEndsTheProgram(sel.imageView())); // a helper window never ends it
        QVERIFY(!sel.imageView().isVisible());
        sel.show();
        QTest::mouseClick(sel.ShowImg, Qt::LeftButton);
        QVERIFY(sel.imageView().isVisible());
    }
};

QTEST_MAIN(TestSelectAImgFile)
#include "tst_selectaimgfile.moc"
