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
    void sizeRules();
    void rejectedFiles();
    void i0AndBgLinks();
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

void TstImgDatas::sizeRules()
{
    ImgDatas series;
    QVERIFY(series.add(image("a.img", 8, 4)));
    QCOMPARE(series.imageWidth(), 8);
    QCOMPARE(series.imageHeight(), 4);
    const QString other = image("b.img", 4, 8);
    QTest::ignoreMessage(QtDebugMsg, qPrintable("Mismatch image size : (8, 4) != (4, 8) :  \"" + other + "\""));
    QVERIFY(!series.add(other));
    QCOMPARE(series.count(), 1);
    QVERIFY(series.add(image("c.img", 8, 4)));
    QCOMPARE(series.at(1)->imageFileName(), dir->filePath("c.img"));

    // clearImgs keeps the size, clear frees it.
    series.clearImgs();
    QCOMPARE(series.count(), 0);
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression("^Mismatch image size"));
    QVERIFY(!series.add(other));
    series.clear();
    QCOMPARE(series.imageHeight(), 0);
    QVERIFY(series.add(other));
    QCOMPARE(series.imageWidth(), 4);
    QCOMPARE(series.imageHeight(), 8);
}

void TstImgDatas::rejectedFiles()
{
    ImgDatas series;
    const QString text = dir->filePath("notes.txt");
    QFile f(text);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("just text");
    f.close();
    QTest::ignoreMessage(QtDebugMsg, qPrintable("Unknown file type :  \"" + text + "\""));
    QVERIFY(!series.add(text));

    // Right signature, no usable geometry: the reader fails silently, the series says why.
    const QString empty = dir->filePath("empty.img");
    QVERIFY(ItexWriter::writeRaw(empty, "Comment=none,", QByteArray(16, '\0')));
    QTest::ignoreMessage(QtDebugMsg, qPrintable("File is not ready to access \"" + empty + "\""));
    QVERIFY(!series.add(empty));
    QCOMPARE(series.count(), 0);
    QCOMPARE(series.imageWidth(), 0);

    std::unique_ptr<ImgData> reader(newImgData(ImgTypeITEX));
    double lo = -1, hi = -1;
    reader->minMax(lo, hi); // no data: 0, 0 without scanning
    QCOMPARE(lo, 0.0);
    QCOMPARE(hi, 0.0);
    QVERIFY(!reader->isMinMaxValid());
    QVERIFY(newImgData(ImgTypeUnknown) == nullptr);
}

void TstImgDatas::i0AndBgLinks()
{
    ImgDatas series;
    QVERIFY(series.i0Image() == nullptr);
    ImgData *i0Slot = nullptr;
    ImgData *bgSlot = nullptr;
    series.setI0Link(&i0Slot);
    series.setBgLink(&bgSlot);
    std::unique_ptr<ImgData> i0(newImgData(ImgTypeITEX));
    i0Slot = i0.get(); // the selector replaces its reader; the series follows the slot
    QCOMPARE(series.i0Image(), i0.get());
    QVERIFY(series.bgImage() == nullptr);
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
