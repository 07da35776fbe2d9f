#include "ImgData.h"
#include "ImgDatas.h"
#include "ItexWriter.h"

#include <QTemporaryDir>
#include <QtTest>

#include <thread>

// The projection series: size rules, rejected files and concurrent row/column reads.
class TstImgDatas : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void firstImageFixesSize();
    void clearImgsKeepsSizeClearFreesIt();
    void unknownAndUnreadableFiles();
    void i0AndBgLinks();
    void minMaxWithoutData();
    void concurrentReadsAreIdentical();

private:
    QString image(const QString &name, int width, int height, quint32 seed = 1);
    std::unique_ptr<QTemporaryDir> dir;
};

void TstImgDatas::init()
{
    dir = std::make_unique<QTemporaryDir>();
    QVERIFY(dir->isValid());
}

QString TstImgDatas::image(const QString &name, int width, int height, quint32 seed)
{
    std::vector<quint32> values(size_t(width) * size_t(height));
    for (size_t i = 0; i < values.size(); ++i)
        values[i] = (seed * 2654435761u + quint32(i) * 40503u) % 60000u;
    const QString file = dir->filePath(name);
    if (!ItexWriter::write(file, width, height, 2, values))
        return QString();
    return file;
}

void TstImgDatas::firstImageFixesSize()
{
    ImgDatas series;
    QVERIFY(series.add(image("a.img", 8, 4)));
    QCOMPARE(series.imageWidth(), 8);
    QCOMPARE(series.imageHeight(), 4);
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression("^Mismatch image size \": \\(8, 4\\) != \\(4, 8\\) : \" \".*b.img\"$"));
    QVERIFY(!series.add(image("b.img", 4, 8)));
    QCOMPARE(series.count(), 1);
    QVERIFY(series.add(image("c.img", 8, 4)));
    QCOMPARE(series.count(), 2);
    QCOMPARE(series.at(1)->imageFileName(), dir->filePath("c.img"));
}

void TstImgDatas::clearImgsKeepsSizeClearFreesIt()
{
    ImgDatas series;
    QVERIFY(series.add(image("a.img", 8, 4)));
    series.clearImgs();
    QCOMPARE(series.count(), 0);
    QCOMPARE(series.imageWidth(), 8);
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression("^Mismatch image size"));
    QVERIFY(!series.add(image("b.img", 6, 6)));
    series.clear();
    QCOMPARE(series.imageWidth(), 0);
    QCOMPARE(series.imageHeight(), 0);
    QVERIFY(series.add(image("b.img", 6, 6)));
    QCOMPARE(series.imageWidth(), 6);
}

void TstImgDatas::unknownAndUnreadableFiles()
{
    ImgDatas series;
    QFile text(dir->filePath("notes.txt"));
    QVERIFY(text.open(QIODevice::WriteOnly));
    text.write("just text");
    text.close();
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression("^Unknown file type :  \".*notes.txt\"$"));
    QVERIFY(!series.add(text.fileName()));

    // Right signature, no usable geometry: the reader fails silently, the series says why.
    QVERIFY(ItexWriter::writeRaw(dir->filePath("empty.img"), "Comment=none,", QByteArray(16, '\0')));
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression("^File is not ready to access \".*empty.img\"$"));
    QVERIFY(!series.add(dir->filePath("empty.img")));
    QCOMPARE(series.count(), 0);
    QCOMPARE(series.imageWidth(), 0);
}

void TstImgDatas::i0AndBgLinks()
{
    ImgDatas series;
    QVERIFY(series.i0Image() == nullptr);
    ImgData *i0Slot = nullptr;
    ImgData *bgSlot = nullptr;
    series.setI0Link(&i0Slot);
    series.setBgLink(&bgSlot);
    QVERIFY(series.i0Image() == nullptr);
    std::unique_ptr<ImgData> i0(newImgData(ImgTypeITEX));
    i0Slot = i0.get(); // the selector replaces its reader; the series follows the slot
    QCOMPARE(series.i0Image(), i0.get());
    QVERIFY(series.bgImage() == nullptr);
}

void TstImgDatas::minMaxWithoutData()
{
    std::unique_ptr<ImgData> reader(newImgData(ImgTypeITEX));
    double lo = -1, hi = -1;
    reader->minMax(lo, hi);
    QCOMPARE(lo, 0.0);
    QCOMPARE(hi, 0.0);
    QVERIFY(!reader->isMinMaxValid());
    QVERIFY(newImgData(ImgTypeUnknown) == nullptr);
}

void TstImgDatas::concurrentReadsAreIdentical()
{
    const int width = 257, height = 63, count = 6;
    ImgDatas series;
    for (int i = 0; i < count; ++i)
        QVERIFY(series.add(image(QString("p%1.img").arg(i), width, height, quint32(i + 3))));

    // Every thread reads every row and column of every image into its own buffers.
    auto readAll = [&](std::vector<double> &out) {
        std::vector<double> row(width), col(height);
        for (int i = 0; i < count; ++i) {
            for (int y = 0; y < height; ++y) {
                series.at(i)->line(y, row.data());
                out.insert(out.end(), row.begin(), row.end());
            }
            for (int x = 0; x < width; ++x) {
                series.at(i)->column(x, col.data());
                out.insert(out.end(), col.begin(), col.end());
            }
        }
    };
    std::vector<double> reference;
    readAll(reference);
    std::vector<std::vector<double>> results(8);
    std::vector<std::thread> threads;
    for (auto &result : results)
        threads.emplace_back([&readAll, &result] {
            for (int pass = 0; pass < 5; ++pass) {
                result.clear();
                readAll(result);
            }
        });
    for (auto &t : threads)
        t.join();
    for (const auto &result : results)
        QVERIFY(result == reference);
}

QTEST_GUILESS_MAIN(TstImgDatas)
#include "tst_imgdatas.moc"
