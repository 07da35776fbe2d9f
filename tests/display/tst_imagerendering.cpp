#include "ColorBar.h"
#include "ImgData.h"
#include "ImgDatas.h"
#include "ItexWriter.h"

#include <QCheckBox>
#include <QDir>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {
// An in-memory reader that counts row reads, to see how often the pixels are scanned.
class CountingImage : public ImgData
{
public:
    CountingImage(int w, int h, std::vector<double> values) : pixels(std::move(values))
    {
        givenWidth = w;
        givenHeight = h;
    }
    void reset() override {}
    bool readProps(const QString &, int &w, int &h) override
    {
        w = givenWidth;
        h = givenHeight;
        return true;
    }
    bool load() override { return true; }
    double *line(int y, double *buffer) const override
    {
        ++lineReads;
        for (int x = 0; x < width; ++x)
            buffer[x] = pixels[size_t(y * width + x)];
        return buffer;
    }
    double *column(int x, double *buffer) const override
    {
        for (int y = 0; y < height; ++y)
            buffer[y] = pixels[size_t(y * width + x)];
        return buffer;
    }
    mutable int lineReads = 0;

private:
    int givenWidth = 0;
    int givenHeight = 0;
    std::vector<double> pixels;
};
} // namespace

// Rendering measured images into grey pictures through a colour bar.
class TestImageRendering : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void autoRangeMapsEnds();
    void fixedRangeKept();
    void invalidReaderLeavesEverything();
    void minMaxScannedOnce();
    void showImageRange_data();
    void showImageRange();
    void showImageRenders();
    void realTiff();

private:
    QString writeItex(const QString &name, int w, int h, const std::vector<quint32> &values);
    std::unique_ptr<ImgData> openItex(const QString &fileName);
    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<ColorBar> bar;
};

void TestImageRendering::init()
{
    dir = std::make_unique<QTemporaryDir>();
    QVERIFY(dir->isValid());
    bar = std::make_unique<ColorBar>();
}

void TestImageRendering::cleanup()
{
    bar.reset();
    dir.reset();
}

QString TestImageRendering::writeItex(const QString &name, int w, int h, const std::vector<quint32> &values)
{
    const QString fileName = dir->filePath(name);
    if (!ItexWriter::write(fileName, w, h, 2, values))
        return QString();
    return fileName;
}

std::unique_ptr<ImgData> TestImageRendering::openItex(const QString &fileName)
{
    std::unique_ptr<ImgData> reader(newImgData(ImgTypeITEX));
    reader->setFileName(fileName);
    if (!reader->open())
        return nullptr;
    return reader;
}

void TestImageRendering::autoRangeMapsEnds()
{
    const auto reader = openItex(writeItex("a.img", 3, 2, {100, 2050, 4000, 500, 3000, 1000}));
    QVERIFY(reader);
    QImage image;
    reader->toImage(image, *bar);
    QCOMPARE(bar->minEdit()->text(), QString("100"));
    QCOMPARE(bar->maxEdit()->text(), QString("4000"));
    QCOMPARE(bar->minV(), 100.0);
    QCOMPARE(bar->maxV(), 4000.0);
    QCOMPARE(image.size(), QSize(3, 2));
    QCOMPARE(image.format(), QImage::Format_Grayscale8);
    QCOMPARE(int(image.scanLine(0)[0]), 0);
    QCOMPARE(int(image.scanLine(0)[1]), 128);
    QCOMPARE(int(image.scanLine(0)[2]), 255);
    // Row 1 of the picture is row 1 of the file.
    QCOMPARE(int(image.scanLine(1)[0]), bar->colorIndex(500));
    QCOMPARE(int(image.scanLine(1)[2]), bar->colorIndex(1000));
}

void TestImageRendering::fixedRangeKept()
{
    const auto reader = openItex(writeItex("f.img", 3, 1, {100, 1500, 4000}));
    QVERIFY(reader);
    bar->setRange(1000, 2000);
    bar->setFixColorScale(true);
    bar->minEdit()->setText("1e3");  // the fields are left exactly as they are
    QImage image;
    reader->toImage(image, *bar);
    QCOMPARE(bar->minV(), 1000.0);
    QCOMPARE(bar->maxV(), 2000.0);
    QCOMPARE(bar->minEdit()->text(), QString("1e3"));
    QCOMPARE(bar->maxEdit()->text(), QString("2000"));
    QCOMPARE(int(image.scanLine(0)[0]), 0);
    QCOMPARE(int(image.scanLine(0)[1]), 128);
    QCOMPARE(int(image.scanLine(0)[2]), 255);
}

void TestImageRendering::invalidReaderLeavesEverything()
{
    std::unique_ptr<ImgData> reader(newImgData(ImgTypeITEX));
    QImage image(2, 2, QImage::Format_Grayscale8);
    image.fill(77);
    bar->setRange(3, 4);
    reader->toImage(image, *bar);
    QCOMPARE(image.size(), QSize(2, 2));
    QCOMPARE(int(image.scanLine(1)[1]), 77);
    QCOMPARE(bar->minV(), 3.0);
    QCOMPARE(bar->maxEdit()->text(), QString("4"));
}

void TestImageRendering::minMaxScannedOnce()
{
    CountingImage reader(4, 3, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12});
    QVERIFY(reader.open());
    QImage image;
    reader.toImage(image, *bar);
    QCOMPARE(reader.lineReads, 3 + 3);  // one scan for min/max, one for the pixels
    QVERIFY(reader.isMinMaxValid());
    reader.toImage(image, *bar);
    QCOMPARE(reader.lineReads, 6 + 3);  // min/max are up to date
    QCOMPARE(bar->maxEdit()->text(), QString("12"));
    QCOMPARE(int(image.scanLine(2)[3]), 255);
}

void TestImageRendering::showImageRange_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<bool>("shown");
    QTest::newRow("negative") << -1 << false;
    QTest::newRow("first") << 0 << true;
    QTest::newRow("last") << 1 << true;
    QTest::newRow("count") << 2 << false;
}

void TestImageRendering::showImageRange()
{
    QFETCH(int, index);
    QFETCH(bool, shown);
    ImgDatas series;
    QVERIFY(series.add(writeItex("p0.img", 2, 2, {1, 2, 3, 4})));
    QVERIFY(series.add(writeItex("p1.img", 2, 2, {10, 20, 30, 40})));
    QSignalSpy updated(&series, &ImgDatas::imageUpdated);
    QImage image;
    QCOMPARE(series.showImage(index, image, *bar), shown);
    QCOMPARE(updated.count(), shown ? 1 : 0);
    QCOMPARE(image.isNull(), !shown);
    QCOMPARE(bar->maxV(), shown ? (index == 0 ? 4.0 : 40.0) : 1.0);
}

void TestImageRendering::showImageRenders()
{
    ImgDatas series;
    QVERIFY(series.add(writeItex("p0.img", 2, 1, {5, 9})));
    QImage image;
    QVERIFY(series.showImage(0, image, *bar));
    QCOMPARE(int(image.scanLine(0)[0]), 0);
    QCOMPARE(int(image.scanLine(0)[1]), 255);
}

void TestImageRendering::realTiff()
{
    const QString root = qEnvironmentVariable("ZORVEL_REAL_DATA");
    const QString fileName = QDir(root).filePath("savu/tiffs/raw_00000.tiff");
    if (root.isEmpty() || !QFile::exists(fileName))
        QSKIP("real data not available");
    std::unique_ptr<ImgData> reader(newImgData(fileType(fileName)));
    QVERIFY(reader);
    reader->setFileName(fileName);
    QVERIFY(reader->open());
    QImage image;
    reader->toImage(image, *bar);
    QCOMPARE(image.size(), QSize(160, 135));
    // Pixel (0, 0) is 0 in every image of the series, the minimum.
    QCOMPARE(bar->minV(), 0.0);
    QCOMPARE(int(image.scanLine(0)[0]), 0);
    QVERIFY(bar->maxV() > 1000);
    int levels = 0;
    std::vector<bool> seen(256, false);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (!seen[image.scanLine(y)[x]]) {
                seen[image.scanLine(y)[x]] = true;
                ++levels;
            }
    QVERIFY2(levels > 50, qPrintable(QString("only %1 grey levels").arg(levels)));
}

QTEST_MAIN(TestImageRendering)
#include "tst_imagerendering.moc"
