#include "DataSaver.h"
#include "DrainingThread.h"
#include "ResultFiles.h"
#include "SavingData.h"
#include "SavingImg.h"
#include "ThreadHandoff.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <tiffio.h>

#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <thread>

namespace {

QByteArray printed(const char *format, double a, double b = 0, double c = 0, double d = 0)
{
    char line[256];
    std::snprintf(line, sizeof line, format, a, b, c, d);
    return QByteArray(line);
}

// The data file as C's stdio writes it: header, then every pixel of the region that lies
// inside the image, z outer, x inner.
QByteArray referenceText(const std::vector<double> &image, int n, const CalcRegion &r)
{
    QByteArray text = "#ZRVL-CTImg\n" + printed("# Range_X0       : %g\n# Range_Y0       : %g\n", r.x0, r.z0)
                      + printed("# Range_X1       : %g\n# Range_Y1       : %g\n", r.x1, r.z1)
                      + printed("# sx,sy, ex,ey   : %g\t%g\t%g\t%g\n", r.x0, r.z0, r.x1, r.z1);
    for (int z = std::max(0, int(r.z0)); z < r.z1 && z < n; ++z)
        for (int x = std::max(0, int(r.x0)); x < r.x1 && x < n; ++x)
            text += QByteArray::number(x) + '\t' + QByteArray::number(z) + printed("\t%g\n", image[size_t(z) * n + x]);
    return text;
}

// The samples of a single-page float TIFF as libtiff reads them, with its width; empty
// when it is not one.
std::vector<float> libtiffSamples(const QString &fileName, int &width)
{
    std::vector<float> samples;
    TIFF *tiff = TIFFOpen(QFile::encodeName(fileName).constData(), "r");
    uint32_t w = 0, h = 0;
    uint16_t bits = 0, format = 0;
    if (tiff && TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &w) && TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &h)
        && TIFFGetField(tiff, TIFFTAG_BITSPERSAMPLE, &bits) && TIFFGetField(tiff, TIFFTAG_SAMPLEFORMAT, &format)
        && bits == 32 && format == SAMPLEFORMAT_IEEEFP) {
        samples.resize(size_t(w) * h);
        for (uint32_t z = 0; z < h; ++z)
            if (TIFFReadScanline(tiff, samples.data() + size_t(z) * w, z, 0) < 0)
                samples.clear();
        width = int(w);
    }
    if (tiff)
        TIFFClose(tiff);
    return samples;
}

// The samples as tifffile reads them (its own decoder), as little-endian float32 bytes.
QByteArray tifffileSamples(const QString &fileName)
{
    QProcess python;
    python.start("/usr/bin/python3", {"-c", "import sys, tifffile\n"
                                            "a = tifffile.imread(sys.argv[1])\n"
                                            "sys.stdout.buffer.write(str(a.shape).encode() + b'\\n' + a.astype('<f4').tobytes())",
                                      fileName});
    python.waitForFinished(60000);
    return python.exitCode() == 0 ? python.readAllStandardOutput() : QByteArray();
}

bool sameFloat(float a, float b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

} // namespace

// The result files: automatic names, the data file's bytes, and the background saver
// that writes them (complete files, failures as one debug line, nothing lost at quit).
class TestResultFiles : public QObject
{
    Q_OBJECT
private slots:
    void autoName()
    {
        struct Case { const char *name, *tag; int slice; const char *suffix, *expected; };
        for (const Case &c : {Case{"ct", "", 12, "png", "ct-00012.png"}, {"ct", "E1", 12, "png", "ct-E1-00012.png"},
                              {"run.a", "", 12, "png", "run-00012.png"}, {"run.a", "E1", 12, "dat", "run-E1-00012.dat"},
                              {"sub/ct", "a", 7, "png", "ct-a-00007.png"}, {"ct", "", 123456, "dat", "ct-123456.dat"},
                              {"ct", "", -3, "dat", "ct--0003.dat"}})
            QCOMPARE(ResultFiles::autoName(c.name, c.tag, c.slice, c.suffix), QString(c.expected));
        QCOMPARE(ResultFiles::fullPath("/a/b", "../c/./d.dat"), QString("/a/c/d.dat"));
    }

    void dataTextAsPrintf_data()
    {
        QTest::addColumn<QList<double>>("region"); // x0, z0, x1, z1
        QTest::addColumn<int>("pixelLines");
        QTest::newRow("(0,0)-(4,2)") << QList<double>{0, 0, 4, 2} << 8;
        QTest::newRow("bounds 0.5 and 3.5") << QList<double>{0.5, 0.5, 3.5, 3.5} << 16;
        QTest::newRow("larger than the image") << QList<double>{-2.7, -1, 999, 997.5} << 550 * 550;
        QTest::newRow("beyond the image") << QList<double>{550, 0, 600, 3} << 0;
        QTest::newRow("empty in x") << QList<double>{3, 0, 3, 4} << 0;
        QTest::newRow("reversed in z") << QList<double>{0, 4, 4, 1} << 0;
        QTest::newRow("tiny bounds") << QList<double>{-1.23456789e-5, 0, 1.5e-7, 1} << 1;
    }
    // Values of every kind (special, extreme, random over the whole range, integers and
    // binary fractions), each written exactly as printf's %g writes it.
    void dataTextAsPrintf()
    {
        QFETCH(QList<double>, region);
        QFETCH(int, pixelLines);
        const int n = 550;
        using limits = std::numeric_limits<double>;
        std::vector<double> image = {0.0, -0.0, 1.0, -1.0, 0.5, 1234.57, 1234567.0, -2.5e-05, 1e-05, 0.0001, 999999.0,
                                     9999995.0, 999999.5, 0.000099999951, 123456.5, 100000.0, 1e100, -1e-300, 5e-324,
                                     limits::max(), limits::min(), limits::infinity(), -limits::infinity(), limits::quiet_NaN(), -limits::quiet_NaN()};
        std::mt19937_64 random(20261206);
        std::uniform_real_distribution<double> mantissa(-10.0, 10.0);
        std::uniform_int_distribution<int> exponent(-320, 310), integer(-3000000, 3000000);
        while (image.size() < size_t(n) * n)
            image.insert(image.end(), {mantissa(random) * std::pow(10.0, exponent(random)), double(integer(random)), integer(random) / 64.0});
        const CalcRegion r{region[0], region[1], region[2], region[3]};
        const QByteArray text = ResultFiles::dataText(image.data(), n, r);
        QVERIFY(text == referenceText(image, n, r) && text.count('\n') == 6 + pixelLines);
        QCOMPARE(ResultFiles::dataText(nullptr, 0, r), referenceText({}, 0, r)); // no image yet: the header alone
        QByteArray real;
        for (double v : {1234567.0, -1.23456789e-5, -limits::quiet_NaN()})
            ResultFiles::appendReal(real, v);
        QCOMPARE(real, printed("%g%g%g", 1234567.0, -1.23456789e-5, -limits::quiet_NaN()));
    }

    void floatTiffRoundTrip_data()
    {
        QTest::addColumn<QList<double>>("region"); // x0, z0, x1, z1
        QTest::addColumn<QSize>("size");
        QTest::newRow("whole") << QList<double>{0, 0, 300, 300} << QSize(300, 300);
        QTest::newRow("inner, fractional bounds") << QList<double>{10.5, 3, 77.2, 250} << QSize(68, 247);
        QTest::newRow("larger than the image") << QList<double>{-5, -5, 999, 310} << QSize(300, 300);
        QTest::newRow("beyond the image") << QList<double>{300, 0, 400, 10} << QSize();
    }
    // The slice written through the saver as a float TIFF, read back by libtiff and by
    // tifffile: the region's pixels of the data file, each the nearest float.
    void floatTiffRoundTrip()
    {
        QFETCH(QList<double>, region);
        QFETCH(QSize, size);
        const int n = 300;
        std::vector<double> image(size_t(n) * n);
        std::mt19937_64 random(7);
        std::uniform_real_distribution<double> value(-1e3, 1e3);
        for (double &v : image)
            v = value(random);
        image[size_t(n) * 200 + 20] = std::numeric_limits<double>::quiet_NaN();
        image[size_t(n) * 100 + 50] = -std::numeric_limits<double>::infinity();
        image[size_t(n) * 100 + 51] = 1e300; // beyond float: +inf
        const CalcRegion r{region[0], region[1], region[2], region[3]};
        const QByteArray tiff = ResultFiles::floatTiff(image.data(), n, r);
        if (!size.isValid()) {
            QVERIFY(tiff.isEmpty());
            return;
        }
        QTemporaryDir dir;
        const QString fileName = dir.filePath("ct-00001.tif");
        QVERIFY(DataSaver::writeData({fileName, tiff}));
        int width = 0;
        const std::vector<float> samples = libtiffSamples(fileName, width);
        QCOMPARE(QSize(width, int(samples.size()) / std::max(width, 1)), size);
        const ResultFiles::Pixels inside = ResultFiles::pixelsInside(n, r);
        for (int i = 0; i < int(samples.size()); ++i) {
            const double v = image[size_t(inside.zBegin + i / width) * n + size_t(inside.xBegin + i % width)];
            QVERIFY2(sameFloat(samples[size_t(i)], float(v)), qPrintable(QString("pixel %1: %2 for %3").arg(i).arg(samples[size_t(i)]).arg(v)));
        }
        if (!QFileInfo::exists("/usr/bin/python3"))
            QSKIP("/usr/bin/python3 with tifffile is not installed: only libtiff read the slice back");
        const QByteArray read = tifffileSamples(fileName);
        if (read.isEmpty())
            QSKIP("tifffile cannot be imported by /usr/bin/python3: only libtiff read the slice back");
        const QByteArray shape = QByteArray("(%1, %2)\n").replace("%1", QByteArray::number(size.height())).replace("%2", QByteArray::number(size.width()));
        QVERIFY(read.startsWith(shape));
        QCOMPARE(read.mid(shape.size()), QByteArray(reinterpret_cast<const char *>(samples.data()), qsizetype(samples.size() * sizeof(float))));
    }

    // Records from 8 threads, queued as a worker's signal queues them; the saver's thread
    // is asked to quit as soon as it runs: what was queued is still written, each file whole.
    // It starts after the producers end, so the thread start orders the queue for
    // ThreadSanitizer, which cannot see the locks of an uninstrumented Qt.
    void saverWritesEveryRecordWhole()
    {
        QTemporaryDir dir;
        DataSaver saver;
        DrainingThread saverThread;
        saver.moveToThread(&saverThread);
        const auto contents = [](int record) { return QByteArray(200000 + record, char('a' + record % 8)) + QByteArray::number(record); };
        std::vector<std::thread> threads;
        for (int w = 0; w < 8; ++w)
            threads.emplace_back([&, w]() {
                for (int r = w; r < 100; r += 8) {
                    auto *record = new SavingData{dir.filePath(QString("r%1.dat").arg(r)), contents(r)};
                    ThreadHandoff::publish(record);
                    QMetaObject::invokeMethod(&saver, [&saver, record]() { saver.saveDataWDiscard(record); }, Qt::QueuedConnection);
                }
            });
        for (std::thread &t : threads)
            t.join();
        saverThread.start();
        saverThread.quit();
        QVERIFY(saverThread.wait(60000));
        for (int r = 0; r < 100; ++r) {
            QFile file(dir.filePath(QString("r%1.dat").arg(r)));
            QVERIFY(file.open(QIODevice::ReadOnly) && file.readAll() == contents(r));
        }
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files).size(), 100);
        // The image in the format its suffix names; saveData keeps its record.
        QImage image(5, 3, QImage::Format_Grayscale8);
        for (int i = 0; i < 15; ++i)
            image.scanLine(i / 5)[i % 5] = uchar(40 * (i / 5) + i);
        saver.saveImgWDiscard(new SavingImg{dir.filePath("ct-00003.png"), image});
        QCOMPARE(QImage(dir.filePath("ct-00003.png"), "png").convertToFormat(QImage::Format_Grayscale8), image);
        SavingData data{dir.filePath("kept.dat"), "1\t2\t3\n"};
        saver.saveData(&data);
        QFile kept(data.fileName);
        QVERIFY(kept.open(QIODevice::ReadOnly) && kept.readAll() == data.data);
    }

    // A missing directory, a directory in the way, a disk that fails when flushing: one
    // debug line, no file (not even a temporary one).
    void unwritableTargets()
    {
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir("taken") && QDir(dir.path()).mkdir("taken.png"));
        DataSaver saver;
        for (const char *name : {"missing/ct-00001.dat", "taken", "unflushed"}) {
            DataSaver::setSyncFunction(QByteArray(name) == "unflushed" ? DataSaver::SyncFunction([](int) { return false; }) : nullptr);
            const QString fileName = dir.filePath(name);
            QTest::ignoreMessage(QtDebugMsg, qPrintable(QString("Failed to write the data file \"%1\"").arg(fileName)));
            saver.saveDataWDiscard(new SavingData{fileName, "#ZRVL-CTImg\n"});
            QTest::ignoreMessage(QtDebugMsg, qPrintable(QString("Failed to save the image \"%1.png\"").arg(fileName)));
            saver.saveImgWDiscard(new SavingImg{fileName + ".png", QImage(4, 4, QImage::Format_Grayscale8)});
            QVERIFY(!QFileInfo(fileName).isFile() && !QFileInfo(fileName + ".png").isFile());
        }
        DataSaver::setSyncFunction(nullptr);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 0);
    }
};

QTEST_GUILESS_MAIN(TestResultFiles)
#include "tst_resultfiles.moc"
