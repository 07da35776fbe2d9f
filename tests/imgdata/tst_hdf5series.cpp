// HDF5 projection series: the ITEX tooth written here as Data Exchange and as NXtomo files
// reconstructs to the same data files; the original tooth file read as h5py reads it and
// reconstructed like its ITEX conversion; hostile files refused with one line each.

#include "BpCore.h"
#include "CalcRegion.h"
#include "HSgm.h"
#include "Hdf5Series.h"
#include "ImgData.h"
#include "ImgDatas.h"
#include "ResultFiles.h"
#include "RowCache.h"
#include "SinogramGenerator.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <hdf5.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <numeric>

Q_DECLARE_METATYPE(std::function<bool(const QString &)>)

namespace {

const double toothCor = 295.5;

// A series with its I0 and BG images, linked as the file selectors link them.
struct Series
{
    ImgDatas imgs;
    ImgDatas::Reader i0, bg;

    Series()
    {
        imgs.setI0Link(&i0);
        imgs.setBgLink(&bg);
    }
};

// The data file of a slice reconstructed as the CT2 workers do it; empty when it cannot be.
QByteArray sliceText(const ImgDatas &imgs, int slice, std::vector<double> *values = nullptr)
{
    HSgm sinogram;
    BpCore core;
    if (!SinogramGenerator::genSinogram0(*imgs.snapshot(), &sinogram, true, toothCor, slice) || !core.setupCore(sinogram.w, sinogram.h))
        return {};
    const int n = core.n();
    core.reconstructSlice(sinogram.sgm, sinogram.w, n, 0, n, 0, n);
    if (values)
        values->assign(core.image(), core.image() + size_t(n) * n);
    return ResultFiles::dataText(core.image(), n, CalcRegion{0, 0, double(n), double(n)});
}

// Pixels of an image, row-major.
std::vector<double> pixelsOf(const ImgData &image)
{
    std::vector<double> pixels(size_t(image.imageWidth()) * image.imageHeight());
    for (int y = 0; y < image.imageHeight(); ++y)
        image.line(y, pixels.data() + size_t(y) * image.imageWidth());
    return pixels;
}

// A new HDF5 file, written with the C library and closed when it goes.
class H5Writer
{
public:
    explicit H5Writer(const QString &fileName) : file(H5Fcreate(QFile::encodeName(fileName).constData(), H5F_ACC_TRUNC, H5P_DEFAULT, H5P_DEFAULT)) {}
    ~H5Writer() { H5Fclose(file); }

    // A dataset of fileType and dims holding values (converted by libhdf5), or no values
    // at all when none are given; groups on the way are created.
    bool write(const char *path, hid_t fileType, const std::vector<hsize_t> &dims, const std::vector<double> &values,
               hid_t dcpl = H5P_DEFAULT)
    {
        const hid_t links = H5Pcreate(H5P_LINK_CREATE);
        H5Pset_create_intermediate_group(links, 1);
        const hid_t space = H5Screate_simple(int(dims.size()), dims.data(), nullptr);
        const hid_t dataset = H5Dcreate2(file, path, fileType, space, links, dcpl, H5P_DEFAULT);
        const bool ok = dataset >= 0 && (values.empty() || H5Dwrite(dataset, H5T_NATIVE_DOUBLE, H5S_ALL, H5S_ALL, H5P_DEFAULT, values.data()) >= 0);
        H5Dclose(dataset);
        H5Sclose(space);
        H5Pclose(links);
        return ok;
    }

    hid_t id() const { return file; }

private:
    hid_t file;
};

// A chunked layout: nothing is stored until written, so huge extents cost nothing.
hid_t chunked(std::vector<hsize_t> chunk)
{
    const hid_t dcpl = H5Pcreate(H5P_DATASET_CREATE);
    H5Pset_chunk(dcpl, int(chunk.size()), chunk.data());
    return dcpl;
}

std::vector<double> ramp(size_t count, double step)
{
    std::vector<double> values(count);
    for (size_t j = 0; j < count; ++j)
        values[j] = double(j) * step;
    return values;
}

// The ITEX tooth as one file: Data Exchange (uint32, flats i0 -+ 3, darks bg -+ 1, angles
// in degrees), or NXtomo (float64 frames: darks, half the projections, flats, the rest and
// a frame of key 3 to leave out; angles in radians).
bool writeTooth(const QString &fileName, const ImgDatas &itex, const ImgData &i0, const ImgData &bg, bool nexus)
{
    const int m = itex.count(), w = itex.imageWidth(), h = itex.imageHeight();
    std::vector<double> frames, flats, darks, keys, angles;
    const auto append = [](std::vector<double> &to, const std::vector<double> &frame, double offset) {
        for (double v : frame)
            to.push_back(v + offset);
    };
    for (double offset : {-3.0, 3.0})
        append(flats, pixelsOf(i0), offset);
    for (double offset : {-1.0, 1.0})
        append(darks, pixelsOf(bg), offset);
    H5Writer file(fileName);
    if (!nexus) {
        for (int j = 0; j < m; ++j)
            append(frames, pixelsOf(*itex.at(j)), 0.0);
        const hsize_t projections = hsize_t(m), rows = hsize_t(h), columns = hsize_t(w);
        return file.write("/exchange/data", H5T_STD_U32LE, {projections, rows, columns}, frames)
               && file.write("/exchange/data_white", H5T_STD_U32LE, {2, rows, columns}, flats)
               && file.write("/exchange/data_dark", H5T_STD_U32LE, {2, rows, columns}, darks)
               && file.write("/exchange/theta", H5T_IEEE_F32LE, {projections}, ramp(size_t(m), 180.0 / m));
    }
    const auto addFrames = [&](const std::vector<double> &pixels, int key, int count, int firstProjection) {
        append(frames, pixels, 0.0);
        for (int k = 0; k < count; ++k) {
            keys.push_back(key);
            angles.push_back(key == 0 ? (firstProjection + k) * M_PI / m : 7.0);
        }
    };
    addFrames(darks, 2, 2, 0);
    std::vector<double> projections;
    for (int j = 0; j < m; ++j) {
        if (j == m / 2)
            addFrames(std::exchange(projections, {}), 0, m / 2, 0);
        append(projections, pixelsOf(*itex.at(j)), 0.0);
    }
    addFrames(flats, 1, 2, 0);
    addFrames(projections, 0, m - m / 2, m / 2);
    addFrames(std::vector<double>(size_t(w) * h, 1e9), 3, 1, 0);
    const hsize_t count = hsize_t(keys.size());
    return file.write("/entry/data/data", H5T_IEEE_F64LE, {count, hsize_t(h), hsize_t(w)}, frames)
           && file.write("/entry/data/image_key", H5T_STD_I8LE, {count}, keys)
           && file.write("/entry/sample/rotation_angle", H5T_IEEE_F64LE, {count}, angles);
}

// The frames, the mean flat and the mean dark of a Data Exchange file as h5py and numpy
// read them, as float64 bytes; empty when they cannot run.
QByteArray h5pyPixels(const QString &fileName)
{
    QProcess python;
    python.start("/usr/bin/python3", {"-c", "import sys, h5py, numpy\n"
                                            "f = h5py.File(sys.argv[1], 'r')\n"
                                            "e = f['exchange']\n"
                                            "for a in (e['data'][()], e['data_white'][()].mean(axis=0, dtype='f8'),"
                                            " e['data_dark'][()].mean(axis=0, dtype='f8')):\n"
                                            "    sys.stdout.buffer.write(numpy.ascontiguousarray(a, dtype='<f8').tobytes())",
                                      fileName});
    python.waitForFinished(60000);
    return python.exitCode() == 0 ? python.readAllStandardOutput() : QByteArray();
}

double correlation(const std::vector<double> &a, const std::vector<double> &b)
{
    const double n = double(a.size());
    const double ma = std::accumulate(a.begin(), a.end(), 0.0) / n, mb = std::accumulate(b.begin(), b.end(), 0.0) / n;
    double ab = 0, aa = 0, bb = 0;
    for (size_t k = 0; k < a.size(); ++k) {
        ab += (a[k] - ma) * (b[k] - mb);
        aa += (a[k] - ma) * (a[k] - ma);
        bb += (b[k] - mb) * (b[k] - mb);
    }
    return ab / std::sqrt(aa * bb);
}

} // namespace

class TestHdf5Series : public QObject
{
    Q_OBJECT
private slots:
    void itexToothAsHdf5_data();
    void itexToothAsHdf5();
    void originalToothFile();
    void typesAndLayouts_data();
    void typesAndLayouts();
    void hostileFiles_data();
    void hostileFiles();
};

void TestHdf5Series::itexToothAsHdf5_data()
{
    QTest::addColumn<bool>("nexus");
    QTest::newRow("Data Exchange") << false;
    QTest::newRow("NXtomo") << true;
}

// The same counts through either layout give the ITEX series' data files, digit for digit.
void TestHdf5Series::itexToothAsHdf5()
{
    QFETCH(bool, nexus);
    const QDir tooth(QDir(qEnvironmentVariable("ZORVEL_REAL_DATA")).filePath("tooth"));
    if (qEnvironmentVariable("ZORVEL_REAL_DATA").isEmpty() || !tooth.exists("i0.img"))
        QSKIP("the measured tooth series is not there");
    Series itex;
    for (const QString &name : tooth.entryList({"tooth_*.img"}, QDir::Files, QDir::Name))
        QVERIFY(itex.imgs.add(tooth.filePath(name)));
    itex.i0 = openImgData(tooth.filePath("i0.img"));
    itex.bg = openImgData(tooth.filePath("bg.img"));
    QVERIFY(itex.imgs.count() == 180 && itex.i0 && itex.bg);
    QTemporaryDir dir;
    const QString fileName = dir.filePath("tooth.h5");
    QVERIFY(writeTooth(fileName, itex.imgs, *itex.i0, *itex.bg, nexus));

    Series hdf5;
    QVERIFY(hdf5.imgs.add(fileName));
    QCOMPARE(hdf5.imgs.count(), 180);
    QVERIFY(hdf5.imgs.i0Image() && pixelsOf(*hdf5.imgs.i0Image()) == pixelsOf(*itex.i0));
    for (int slice : {0, 1}) {
        const QByteArray expected = sliceText(itex.imgs, slice);
        QVERIFY(!expected.isEmpty());
        QVERIFY2(sliceText(hdf5.imgs, slice) == expected, qPrintable(QString("slice %1").arg(slice)));
    }
    // An I0 image selected by hand is used instead of the file's flats.
    hdf5.i0 = openImgData(tooth.filePath("tooth_000.img"));
    QCOMPARE(hdf5.imgs.snapshot()->i0Image(), hdf5.i0.get());
}

// The original file: every pixel and the mean flat and dark as h5py and numpy read them,
// and slices that match those of its ITEX conversion (180 of the 181 projections taken at
// whole degrees; 0.985 for slice 0), which shows that the angles of the file were understood.
void TestHdf5Series::originalToothFile()
{
    const QDir real(qEnvironmentVariable("ZORVEL_REAL_DATA"));
    const QString fileName = real.filePath("tooth-h5/tooth.h5");
    if (qEnvironmentVariable("ZORVEL_REAL_DATA").isEmpty() || !QFile::exists(fileName))
        QSKIP("the original tooth file is not there");
    Series hdf5;
    // 181 x 640 x 2 doubles are 1.8 MB: the frames are streamed, and read as h5py reads them.
    setMemoryBudget(qint64(1) << 20);
    const bool added = hdf5.imgs.add(fileName);
    setMemoryBudget(0);
    QVERIFY(added && hdf5.imgs.at(0)->isStreamed());
    QVERIFY(hdf5.imgs.count() == 181 && hdf5.imgs.imageWidth() == 640 && hdf5.imgs.imageHeight() == 2);
    std::vector<double> ours;
    for (int j = 0; j < hdf5.imgs.count(); ++j) {
        const std::vector<double> frame = pixelsOf(*hdf5.imgs.at(j));
        ours.insert(ours.end(), frame.begin(), frame.end());
    }
    for (const ImgData *reference : {hdf5.imgs.i0Image(), hdf5.imgs.bgImage()}) {
        QVERIFY(reference);
        const std::vector<double> mean = pixelsOf(*reference);
        ours.insert(ours.end(), mean.begin(), mean.end());
    }
    const QByteArray theirs = h5pyPixels(fileName);
    if (theirs.isEmpty())
        QSKIP("/usr/bin/python3 with h5py and numpy is not there: the pixels are not compared");
    QCOMPARE(theirs.size(), qsizetype(ours.size() * sizeof(double)));
    for (size_t k = 0; k < ours.size(); ++k) {
        double value;
        std::memcpy(&value, theirs.constData() + k * sizeof value, sizeof value);
        QVERIFY2(std::abs(ours[k] - value) <= 1e-9 * std::abs(value), qPrintable(QString("value %1: %2, h5py %3").arg(k).arg(ours[k]).arg(value)));
    }

    const QDir tooth(real.filePath("tooth"));
    Series itex;
    for (const QString &name : tooth.entryList({"tooth_*.img"}, QDir::Files, QDir::Name))
        QVERIFY(itex.imgs.add(tooth.filePath(name)));
    itex.i0 = openImgData(tooth.filePath("i0.img"));
    itex.bg = openImgData(tooth.filePath("bg.img"));
    for (int slice : {0, 1}) {
        std::vector<double> fromHdf5, fromItex;
        QVERIFY(!sliceText(hdf5.imgs, slice, &fromHdf5).isEmpty() && !sliceText(itex.imgs, slice, &fromItex).isEmpty());
        QVERIFY(fromHdf5.size() == fromItex.size());
        const double r = correlation(fromHdf5, fromItex);
        QVERIFY2(r >= 0.98, qPrintable(QString("slice %1: correlation %2").arg(slice).arg(r)));
    }
}

void TestHdf5Series::typesAndLayouts_data()
{
    QTest::addColumn<qint64>("fileType");
    QTest::addColumn<int>("layout");
    QTest::addColumn<QString>("typeName");
    QTest::newRow("uint8 compact") << qint64(H5T_STD_U8LE) << int(H5D_COMPACT) << "uint8";
    QTest::newRow("int16 contiguous") << qint64(H5T_STD_I16BE) << int(H5D_CONTIGUOUS) << "int16";
    QTest::newRow("uint16 chunked") << qint64(H5T_STD_U16LE) << int(H5D_CHUNKED) << "uint16";
    QTest::newRow("int32 chunked, deflate") << qint64(H5T_STD_I32LE) << -int(H5D_CHUNKED) << "int32";
    QTest::newRow("float32 compact") << qint64(H5T_IEEE_F32LE) << int(H5D_COMPACT) << "float32";
    QTest::newRow("float64 contiguous") << qint64(H5T_IEEE_F64BE) << int(H5D_CONTIGUOUS) << "float64";
}

// Each sample type in each storage layout (a negative layout: deflated) reads back as written,
// and is named as the image information shows it.
void TestHdf5Series::typesAndLayouts()
{
    QFETCH(qint64, fileType);
    QFETCH(int, layout);
    QFETCH(QString, typeName);
    const bool isSigned = H5Tget_sign(hid_t(fileType)) == H5T_SGN_2;
    std::vector<double> values = ramp(3 * 2 * 4, H5Tget_class(hid_t(fileType)) == H5T_FLOAT ? 0.25 : 1.0);
    for (double &v : values)
        v -= isSigned ? 7.0 : 0.0;
    const hid_t dcpl = H5Pcreate(H5P_DATASET_CREATE);
    H5Pset_layout(dcpl, H5D_layout_t(std::abs(layout)));
    if (std::abs(layout) == H5D_CHUNKED) {
        const hsize_t chunk[3] = {1, 2, 2};
        H5Pset_chunk(dcpl, 3, chunk);
    }
    if (layout < 0)
        H5Pset_deflate(dcpl, 6);
    QTemporaryDir dir;
    const QString fileName = dir.filePath("types.h5");
    {
        H5Writer file(fileName);
        QVERIFY(file.write("/exchange/data", hid_t(fileType), {3, 2, 4}, values, dcpl));
    }
    H5Pclose(dcpl);
    Hdf5Series::Contents contents;
    QVERIFY(Hdf5Series::read(fileName, contents));
    QCOMPARE(contents.sampleType, typeName);
    QVERIFY(contents.width == 4 && contents.height == 2 && contents.projections.size() == 3);
    std::vector<double> read;
    for (const auto &frame : contents.projections) {
        const std::vector<double> pixels = pixelsOf(*frame);
        read.insert(read.end(), pixels.begin(), pixels.end());
    }
    QCOMPARE(read, values);
}

void TestHdf5Series::hostileFiles_data()
{
    QTest::addColumn<std::function<bool(const QString &)>>("make");
    QTest::addColumn<QString>("line");
    using Make = std::function<bool(const QString &)>;
    const auto writer = [](std::function<bool(H5Writer &)> fill) {
        return Make([fill](const QString &name) {
            H5Writer file(name);
            return fill(file);
        });
    };
    const std::vector<double> frame(8, 100.0);
    QTest::newRow("signature, then garbage") << Make([](const QString &name) {
        QFile file(name);
        return file.open(QIODevice::WriteOnly) && file.write(QByteArray("\x89HDF\r\n\x1a\n", 8) + QByteArray(3000, '\x55')) > 0;
    }) << "^Not a readable HDF5 file";
    QTest::newRow("truncated") << Make([frame](const QString &name) {
        {
            H5Writer file(name);
            file.write("/exchange/data", H5T_IEEE_F32LE, {1, 2, 4}, frame);
        }
        return QFile::resize(name, QFileInfo(name).size() / 2);
    }) << "^(Not a readable HDF5 file|HDF5 file without|HDF5 dataset /exchange/data cannot be)";
    QTest::newRow("no projections dataset")
        << writer([](H5Writer &f) { return f.write("/exchange/theta", H5T_IEEE_F64LE, {2}, {0.0, 90.0}); })
        << "^HDF5 file without /exchange/data or /entry/data/data";
    QTest::newRow("rank 2") << writer([frame](H5Writer &f) { return f.write("/exchange/data", H5T_IEEE_F32LE, {2, 4}, frame); })
                            << "^HDF5 dataset /exchange/data has rank 2, not 3";
    QTest::newRow("text") << writer([](H5Writer &f) { return f.write("/exchange/data", H5T_C_S1, {1, 1, 1}, {}); })
                          << "^HDF5 dataset /exchange/data holds no integers or floats";
    QTest::newRow("wider than the readers take")
        << writer([](H5Writer &f) { return f.write("/exchange/data", H5T_STD_U16LE, {1, 1, (1 << 20) + 1}, {}, chunked({1, 1, 64})); })
        << "^HDF5 dataset /exchange/data of 1 x 1 x 1048577 is outside the bounds";
    QTest::newRow("frames without rows") << writer([](H5Writer &f) { return f.write("/exchange/data", H5T_STD_U16LE, {1, 0, 4}, {}); })
                                         << "^HDF5 dataset /exchange/data of 1 x 0 x 4 is outside the bounds";
    QTest::newRow("more pixels than a series holds")
        << writer([](H5Writer &f) { return f.write("/exchange/data", H5T_STD_U16LE, {1 << 20, 1 << 8, 1 << 8}, {}, chunked({1, 256, 256})); })
        << "^1048576 projections of 256 x 256 are more than";
    QTest::newRow("filter this library lacks") << writer([frame](H5Writer &f) {
        const hid_t dcpl = chunked({1, 2, 4});
        H5Pset_filter(dcpl, 32001, H5Z_FLAG_OPTIONAL, 0, nullptr);
        return f.write("/exchange/data", H5T_IEEE_F32LE, {1, 2, 4}, frame, dcpl);
    }) << "^HDF5 dataset /exchange/data is compressed with filter 32001";
    QTest::newRow("angles including the end of the half turn") << writer([](H5Writer &f) {
        return f.write("/exchange/data", H5T_IEEE_F32LE, {181, 1, 1}, std::vector<double>(181, 1.0))
               && f.write("/exchange/theta", H5T_IEEE_F32LE, {181}, ramp(181, 1.0));
    }) << "^Angles of /exchange/theta are not a uniform half turn: 181 angles from 0 to 180 in mean steps of 1,";
    QTest::newRow("flats of another size") << writer([frame](H5Writer &f) {
        return f.write("/exchange/data", H5T_IEEE_F32LE, {1, 2, 4}, frame) && f.write("/exchange/data_white", H5T_IEEE_F32LE, {1, 4, 2}, frame);
    }) << "^HDF5 dataset /exchange/data_white has frames of 2 x 4, the projections 4 x 2";
    QTest::newRow("NXtomo without keys")
        << writer([frame](H5Writer &f) { return f.write("/entry/data/data", H5T_STD_I32LE, {1, 2, 4}, frame); })
        << "^NXtomo file without image_key";
    QTest::newRow("NXtomo keys short") << writer([frame](H5Writer &f) {
        return f.write("/entry/data/data", H5T_STD_I32LE, {2, 1, 4}, frame) && f.write("/entry/data/image_key", H5T_STD_I32LE, {1}, {0.0});
    }) << "^image_key has 1 entries for 2 frames";
    QTest::newRow("NXtomo of flats only") << writer([frame](H5Writer &f) {
        return f.write("/entry/data/data", H5T_STD_I32LE, {2, 1, 4}, frame)
               && f.write("/entry/instrument/detector/image_key", H5T_STD_I32LE, {2}, {1.0, 1.0});
    }) << "^HDF5 file without projections";
    // Written raw, an unfiltered chunk may hold fewer bytes than the chunk: libhdf5 would
    // copy the whole chunk out of the short buffer it read.
    QTest::newRow("an unfiltered chunk stored short") << writer([](H5Writer &f) {
        const char shortChunk[4] = {};
        const hsize_t origin[3] = {0, 0, 0};
        const hid_t dcpl = chunked({1, 2, 4});
        if (!f.write("/exchange/data", H5T_IEEE_F32LE, {1, 2, 4}, {}, dcpl))
            return false;
        const hid_t dataset = H5Dopen2(f.id(), "/exchange/data", H5P_DEFAULT);
        const bool written = H5Dwrite_chunk(dataset, H5P_DEFAULT, 0, origin, sizeof shortChunk, shortChunk) >= 0;
        H5Dclose(dataset);
        H5Pclose(dcpl);
        return written;
    }) << "^HDF5 dataset /exchange/data stores 4 bytes in 1 chunks of 32 bytes";
    // Found by fuzzing (libhdf5 refuses to write one): a chunk larger than a dimension of
    // fixed size, which libhdf5 would copy out of a buffer of the dimension's size.
    QTest::newRow("a chunk larger than its dimension") << Make([](const QString &name) {
        return QFile::copy(ZORVEL_FUZZ_REGRESSIONS "/hdf5/crash-355ce5087a30dc3c30c5a539f6a1fb203c3db87b", name);
    }) << "^HDF5 dataset /entry/data/data has chunks of 1796 in a dimension of 4";
    // Found by fuzzing: a damaged group's symbol table makes libhdf5 1.10 read through a null
    // pointer while looking a link up. The program must refuse it, not end with it.
    QTest::newRow("a file on which libhdf5 crashes") << Make([](const QString &name) {
        return QFile::copy(ZORVEL_FUZZ_REGRESSIONS "/hdf5/crash-8d7b6e092a7fc6cd6376979dc1c512a198fc2364", name);
    }) << "^HDF5 library (crashed|failed) on this file \\((signal|exit status) \\d+\\); damaged file";
}

// Each refused with one debug line naming what is wrong and the file; nothing loaded.
void TestHdf5Series::hostileFiles()
{
    QFETCH(std::function<bool(const QString &)>, make);
    QFETCH(QString, line);
    QTemporaryDir dir;
    const QString fileName = dir.filePath("bad.h5");
    QVERIFY(make(fileName));
    QVERIFY(Hdf5Series::isHdf5File(fileName));
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression(line + ".* \"" + QRegularExpression::escape(fileName) + "\"$"));
    Series series;
    QVERIFY(!series.imgs.add(fileName));
    QVERIFY(series.imgs.count() == 0 && !series.imgs.i0Image() && series.imgs.imageWidth() == 0);
}

QTEST_GUILESS_MAIN(TestHdf5Series)
#include "tst_hdf5series.moc"
