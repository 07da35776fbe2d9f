#include "ColorBar.h"
#include "ImgData.h"
#include "ImgDatas.h"
#include "ItexWriter.h"

#include <QDir>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>
#include <set>

namespace {
// An in-memory reader that counts row reads, to see how often the pixels are scanned.
class CountingImage : public ImgData
{
public:
    CountingImage(int w, int h, std::vector<double> values) : w(w), h(h), pixels(std::move(values)) {}
    void reset() override {}
    bool readProps(const QString &, int &width, int &height) override
    {
        width = w;
        height = h;
        return true;
    }
    bool load() override { return true; }
    double *line(int y, double *buffer) const override
    {
        ++lineReads;
        std::copy_n(pixels.begin() + y * w, w, buffer);
        return buffer;
    }
    double *column(int, double *buffer) const override { return buffer; }
    mutable int lineReads = 0;

private:
    int w, h;
    std::vector<double> pixels;
};

QVector<int> bytes(const QImage &image)
{
    QVector<int> all;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            all << image.scanLine(y)[x];
    return all;
}
} // namespace

// Rendering measured images into grey pictures through a colour bar.
class TestImageRendering : public QObject
{
    Q_OBJECT
private slots:
    void autoRangeAndFix();
    void showImageRange_data();
    void showImageRange();
    void realTiff();
};

void TestImageRendering::autoRangeAndFix()
{
    // Rows differ so that a transposed or repeated row shows.
    CountingImage reader(3, 2, {100, 2050, 4000, 500, 3000, 1000});
    ColorBar bar;
    // Before it holds data a reader leaves the picture and the bar alone.
    QImage image(2, 2, QImage::Format_Grayscale8);
    image.fill(77);
    reader.toImage(image, bar);
    QCOMPARE(bytes(image), QVector<int>({77, 77, 77, 77}));
    QCOMPARE(bar.maxEdit()->text(), QString("1"));

    QVERIFY(reader.open());
    reader.toImage(image, bar);
    QCOMPARE(bar.minEdit()->text(), QString("100"));
    QCOMPARE(bar.maxEdit()->text(), QString("4000"));
    QCOMPARE(image.format(), QImage::Format_Grayscale8);
    QCOMPARE(image.size(), QSize(3, 2));
    QCOMPARE(bytes(image), QVector<int>({0, 128, 255, 26, 190, 59}));
    QCOMPARE(reader.lineReads, 2 + 2);  // one scan for min/max, one for the pixels

    // Fixed: range and field texts stay as they are, values outside map to the ends;
    // the min/max are up to date, so only the pixels are read again.
    bar.setRange(1000, 2000);
    bar.minEdit()->setText("1e3");
    bar.setFixColorScale(true);
    reader.toImage(image, bar);
    QCOMPARE(reader.lineReads, 4 + 2);
    QCOMPARE(bar.minV(), 1000.0);
    QCOMPARE(bar.maxV(), 2000.0);
    QCOMPARE(bar.minEdit()->text(), QString("1e3"));
    QCOMPARE(bar.maxEdit()->text(), QString("2000"));
    QCOMPARE(bytes(image), QVector<int>({0, 255, 255, 0, 255, 0}));
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
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    ImgDatas series;
    for (quint32 scale : {1u, 10u}) {
        const QString name = dir.filePath(QString("p%1.img").arg(scale));
        QVERIFY(ItexWriter::write(name, 2, 2, 2, {1 * scale, 2 * scale, 3 * scale, 4 * scale}));
        QVERIFY(series.add(name));
    }
    ColorBar bar;
    QSignalSpy updated(&series, &ImgDatas::imageUpdated);
    QImage image;
    QCOMPARE(series.showImage(index, image, bar), shown);
    QCOMPARE(updated.count(), shown ? 1 : 0);
    QCOMPARE(image.isNull(), !shown);
    QCOMPARE(bar.maxV(), shown ? (index == 0 ? 4.0 : 40.0) : 1.0);
    if (shown)
        QCOMPARE(bytes(image), QVector<int>({0, 85, 170, 255}));
}

void TestImageRendering::realTiff()
{
    const QString root = qEnvironmentVariable("ZORVEL_REAL_DATA");
    const QString fileName = QDir(root).filePath("savu/tiffs/raw_00000.tiff");
    if (root.isEmpty() || !QFile::exists(fileName))
        QSKIP("real data not available");
    const std::unique_ptr<ImgData> reader = openImgData(fileName);
    QVERIFY(reader);
    ColorBar bar;
    QImage image;
    reader->toImage(image, bar);
    QCOMPARE(image.size(), QSize(160, 135));
    // Pixel (0, 0) is 0 in every image of the series, the minimum.
    QCOMPARE(bar.minV(), 0.0);
    QVERIFY(bar.maxV() > 1000);
    const QVector<int> all = bytes(image);
    QCOMPARE(all.first(), 0);
    const std::set<int> levels(all.begin(), all.end());
    QVERIFY2(levels.size() > 50, qPrintable(QString("only %1 grey levels").arg(levels.size())));
}

QTEST_MAIN(TestImageRendering)
#include "tst_imagerendering.moc"
