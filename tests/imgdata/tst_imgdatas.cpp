#include "ColorBar.h"
#include "ImgData.h"
#include "ImgDatas.h"
#include "ItexWriter.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <limits>
#include <new>

namespace {
// A reader of pixels held in memory (row-major), or one whose memory runs out in load().
class MemoryReader : public ImgData
{
public:
    MemoryReader(int w, int h, std::vector<double> values, bool exhausted = false)
        : w(w), h(h), values(std::move(values)), exhausted(exhausted)
    {
        setFileName("memory.img");
    }
    void reset() override {}
    bool readProps(const QString &, int &width, int &height) override
    {
        width = w;
        height = h;
        return true;
    }
    bool load() override
    {
        if (exhausted)
            throw std::bad_alloc();
        return true;
    }
    double *line(int y, double *buffer) const override
    {
        for (int x = 0; x < w; ++x)
            buffer[x] = size_t(y) * w + x < values.size() ? values[size_t(y) * w + x] : 0.0;
        return buffer;
    }
    double *column(int, double *buffer) const override { return buffer; }

private:
    int w, h;
    std::vector<double> values;
    bool exhausted;
};
} // namespace

// The projection series (size rules, rejected files, rendering) and the shared parts of
// every reader: opening when memory runs out, the min/max scan.
class TstImgDatas : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void sizeRules_data();
    void sizeRules();
    void rejectedFiles();
    void minMaxSkipsNonFinite_data();
    void minMaxSkipsNonFinite();
    void outOfMemory();

private:
    QString image(const QString &name, int width, int height);
    std::unique_ptr<QTemporaryDir> dir;
};

void TstImgDatas::init()
{
    dir = std::make_unique<QTemporaryDir>();
    QVERIFY(dir->isValid());
}

QString TstImgDatas::image(const QString &name, int width, int height)
{
    std::vector<quint32> values(size_t(width) * size_t(height));
    for (size_t i = 0; i < values.size(); ++i)
        values[i] = quint32(i * 40503u) % 60000u;
    const QString file = dir->filePath(name);
    return ItexWriter::write(file, width, height, 2, values) ? file : QString();
}

void TstImgDatas::sizeRules_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::newRow("transposed") << 4 << 8;
    QTest::newRow("width differs") << 9 << 4;
    QTest::newRow("height differs") << 8 << 5;
}

void TstImgDatas::sizeRules()
{
    QFETCH(int, width);
    QFETCH(int, height);
    ImgDatas series;
    QVERIFY(series.add(image("a.img", 8, 4)));
    const QString other = image("b.img", width, height);
    const QString mismatch = QString("Mismatch image size : (8, 4) != (%1, %2) :  \"").arg(width).arg(height);
    QTest::ignoreMessage(QtDebugMsg, qPrintable(mismatch + other + "\""));
    QVERIFY(!series.add(other));
    QVERIFY(series.add(image("c.img", 8, 4)));
    QCOMPARE(series.count(), 2);
    QCOMPARE(series.at(1)->imageFileName(), dir->filePath("c.img"));
    QVERIFY(!series.at(2) && !series.at(-1));

    // clearImgs keeps the size, clear frees it.
    series.clearImgs();
    QCOMPARE(series.count(), 0);
    QTest::ignoreMessage(QtDebugMsg, qPrintable(mismatch + other + "\""));
    QVERIFY(!series.add(other));
    series.clear();
    QVERIFY(series.add(other));
    QCOMPARE(series.imageWidth(), width);
    QCOMPARE(series.imageHeight(), height);
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

    // Right signature, no usable geometry: the reader names the size, the series says why.
    const QString empty = dir->filePath("empty.img");
    QVERIFY(ItexWriter::writeRaw(empty, "Comment=none,", QByteArray(16, '\0')));
    QTest::ignoreMessage(QtDebugMsg, qPrintable("Image size 0 x 0 is outside 1 ... 1048576 pixels a side :  \"" +
                                                empty + "\""));
    QTest::ignoreMessage(QtDebugMsg, qPrintable("File is not ready to access \"" + empty + "\""));
    QVERIFY(!series.add(empty));
    QCOMPARE(series.count(), 0);
    QCOMPARE(series.imageWidth(), 0);

    std::unique_ptr<ImgData> reader(newImgData(ImgTypeITEX));
    double lo = -1, hi = -1;
    reader->minMax(lo, hi); // no data: 0, 0 without scanning
    QVERIFY(lo == 0.0 && hi == 0.0 && !reader->isMinMaxValid());
    QVERIFY(newImgData(ImgTypeUnknown) == nullptr);
}

void TstImgDatas::minMaxSkipsNonFinite_data()
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    QTest::addColumn<std::vector<double>>("pixels");
    QTest::addColumn<double>("min");
    QTest::addColumn<double>("max");
    QTest::newRow("NaN first") << std::vector<double>{nan, -2e-5, 3, 7} << -2e-5 << 7.0;
    QTest::newRow("infinities") << std::vector<double>{5, inf, -inf, 6} << 5.0 << 6.0;
    QTest::newRow("all negative") << std::vector<double>{-5, -3, nan, -4} << -5.0 << -3.0;
    QTest::newRow("nothing finite") << std::vector<double>{nan, inf, nan, -inf} << 0.0 << 0.0;
}

void TstImgDatas::minMaxSkipsNonFinite()
{
    QFETCH(std::vector<double>, pixels);
    QFETCH(double, min);
    QFETCH(double, max);
    MemoryReader reader(2, 2, pixels);
    QVERIFY(reader.open());
    double lo = -1, hi = -1;
    reader.minMax(lo, hi);
    QVERIFY2(lo == min && hi == max, qPrintable(QString("%1 %2").arg(lo).arg(hi)));
}

void TstImgDatas::outOfMemory()
{
    MemoryReader exhausted(4, 4, {}, true);
    QTest::ignoreMessage(QtDebugMsg, "Not enough memory to load \"memory.img\"");
    QVERIFY(!exhausted.open());
    QVERIFY(!exhausted.isValid());

    // 2^40 bytes of picture are not to be had: nothing is drawn, the bar keeps its range.
    ColorBar bar;
    bar.autoRange(-1, 1);
    const ColorScale before = bar.colorScale();
    MemoryReader huge(ImgData::maxImageSide, ImgData::maxImageSide, {});
    QVERIFY(huge.open());
    QImage picture(3, 2, QImage::Format_Grayscale8);
    QTest::ignoreMessage(QtDebugMsg, "Not enough memory to show \"memory.img\"");
    QVERIFY(!huge.toImage(picture, bar));
    QCOMPARE(picture.size(), QSize(3, 2));
    QVERIFY(bar.colorScale().minV == before.minV && bar.colorScale().maxV == before.maxV);
    QVERIFY(!huge.isMinMaxValid());

    // The series emits only for a picture it could render.
    ImgDatas series;
    QVERIFY(series.add(image("a.img", 8, 4)));
    QSignalSpy updated(&series, &ImgDatas::imageUpdated);
    QVERIFY(!series.showImage(1, picture, bar));
    QVERIFY(series.showImage(0, picture, bar));
    QCOMPARE(picture.size(), QSize(8, 4));
    QCOMPARE(updated.count(), 1);
}

QTEST_MAIN(TstImgDatas)
#include "tst_imgdatas.moc"
