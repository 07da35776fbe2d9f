#include "LastWindow.h"
#include "SelectAImgFile.h"
#include "WidgetChecks.h"

#include "ImgData.h"
#include "ItexWriter.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>

namespace {
const QString good = "background-color: rgb(211, 255, 241);";
const QString bad = "background-color: rgb(255, 192, 192);";
}

class TestSelectAImgFile : public QObject
{
    Q_OBJECT
private:
    QTemporaryDir tmp;
    QString first, second; // readable 3 x 2 images

    // A 3 x 2 ITEX image whose pixel (x, y) holds base + 10 * y + x.
    QString writeImage(const QString &name, quint32 base)
    {
        std::vector<quint32> pixels;
        for (quint32 y = 0; y < 2; ++y)
            for (quint32 x = 0; x < 3; ++x)
                pixels.push_back(base + 10 * y + x);
        return ItexWriter::write(tmp.filePath(name), 3, 2, 2, pixels, 0.5) ? tmp.filePath(name) : QString();
    }

private slots:
    void initTestCase()
    {
        QVERIFY(tmp.isValid());
        first = writeImage("first.img", 100);
        second = writeImage("second.img", 1000);
        QFile text(tmp.filePath("notes.img"));
        QVERIFY(!first.isEmpty() && !second.isEmpty() && text.open(QIODevice::WriteOnly));
        text.write("just some text\n");
        QVERIFY(ItexWriter::writeRaw(tmp.filePath("odd.img"),
                                     "Prop_ImageWidth=2,Prop_ImageHeight=2,BytesPerPixel=3,", QByteArray(12, '\0')));
    }

    void goodLoadShowsTheImageClearDropsIt()
    {
        SelectAImgFile sel;
        QTest::ignoreMessage(QtDebugMsg, QRegularExpression(QString(R"(^"\d\d:\d\d:\d\d\.\d\d\d" loading "%1"$)")
                                                                .arg(QRegularExpression::escape(first))));
        sel.fileSelected0(first);
        QVERIFY(sel.image != nullptr);
        QCOMPARE(sel.FilePath->styleSheet(), good);
        QVERIFY(sel.imageView().isVisible());
        // The picture is built with the view's colour bar (auto range: white at the largest value).
        QCOMPARE(sel.imageView().img.size(), QSize(3, 2));
        QCOMPARE(qGray(sel.imageView().img.pixel(2, 1)), 255);
        // The exposure-time frame sits right of Clear; the view's pointer reaches the read-out.
        QCOMPARE(sel.gridLayout_3->itemAtPosition(0, 5)->widget(), sel.SelectAImgFileBase);
        emit sel.imageView().newPosInvY(1, 1);
        QCOMPARE(sel.imageView().Val->text(), QString("111"));
        // A change of the colour bar re-renders: both handles at the middle make a threshold.
        QCOMPARE(qGray(sel.imageView().img.pixel(1, 0)), 21);
        sel.imageView().CBar->setHandles(0.5, 0.5);
        emit sel.imageView().CBar->newBar();
        QCOMPARE(qGray(sel.imageView().img.pixel(1, 0)), 0);
        QVERIFY(showsWhole(sel.ExpTimeLE, "-1.23457e-05"));

        sel.setExpTime(0.1);
        QCOMPARE(sel.ExpTimeLE->text(), QString("0.1"));
        QSignalSpy clearSpy(&sel, &SelectAFile::clear);
        QTest::mouseClick(sel.Clear, Qt::LeftButton);
        QCOMPARE(clearSpy.count(), 1);
        QVERIFY(sel.image == nullptr && sel.FilePath->text().isEmpty());
        QCOMPARE(sel.ExpTimeLE->text(), QString("0.05"));
        QCOMPARE(sel.FilePath->styleSheet(), good); // the last colour stays
    }

    void failedLoadKeepsTheImage_data()
    {
        QTest::addColumn<QString>("badName");
        QTest::addColumn<QString>("reason");
        QTest::newRow("not an image (no reader)") << "notes.img" << "Unknown file type";
        QTest::newRow("ITEX with 3-byte pixels (open fails)") << "odd.img" << "neither 2 nor 4 bytes";
    }
    void failedLoadKeepsTheImage()
    {
        QFETCH(QString, badName);
        QFETCH(QString, reason);
        SelectAImgFile sel;
        sel.fileSelected0(first);
        ImgData *const held = sel.image;
        QVERIFY(held != nullptr);
        QTest::ignoreMessage(QtDebugMsg, QRegularExpression(reason));
        sel.fileSelected0(tmp.filePath(badName));
        QCOMPARE(sel.image, held);
        QCOMPARE(sel.image->imageFileName(), first);
        QCOMPARE(sel.FilePath->styleSheet(), bad);
        QCOMPARE(sel.FilePath->text(), tmp.filePath(badName));

        sel.fileSelected0(second);
        QVERIFY(sel.image != nullptr);
        QCOMPARE(sel.image->imageFileName(), second);
        QCOMPARE(sel.FilePath->styleSheet(), good);
    }

    void valueReadOut_data()
    {
        QTest::addColumn<double>("x");
        QTest::addColumn<double>("y");
        QTest::addColumn<QString>("shown");
        QTest::newRow("inside") << 1.0 << 1.0 << "1011";
        QTest::newRow("truncated toward zero") << -0.5 << 0.9 << "1000";
        QTest::newRow("right of the image") << 3.0 << 0.0 << "0";
        QTest::newRow("below the image") << 0.0 << 2.0 << "0";
        QTest::newRow("not a number") << std::nan("") << 0.0 << "0";
    }
    void valueReadOut()
    {
        QFETCH(double, x);
        QFETCH(double, y);
        QFETCH(QString, shown);
        SelectAImgFile sel;
        sel.fileSelected0(second);
        sel.imageView().Val->setText("stale");
        sel.noticedNewPos(x, y);
        QCOMPARE(sel.imageView().Val->text(), shown);
    }

    void showImgBringsTheWindowBack()
    {
        SelectAImgFile sel;
        sel.show();
        QTest::mouseClick(sel.ShowImg, Qt::LeftButton);
        QVERIFY(!sel.imageView().isVisible() && !sel.image); // nothing to show yet
        sel.imageView().Val->setText("untouched");
        sel.noticedNewPos(1, 1);
        QCOMPARE(sel.imageView().Val->text(), QString("untouched"));
        sel.fileSelected0(first);
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
