#include "ImgDataITEX.h"
#include "ItexWriter.h"

#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

#include <memory>

// ITEX header and comment parsing, pixel decoding and the guards against unsafe headers.
class TstImgDataITEX : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void comment_data();
    void comment();
    void signature();
    void shortHeader();
    void commentPastEndOfFile();
    void unsupportedPixelSizeRefused();
    void hugeBlockRefused();
    void shortPixelBlockReadsZeros();
    void pixelsAndColumns();
    void topBitSetIsUnsigned();

private:
    QString path(const QString &name) const { return dir->filePath(name); }
    static QByteArray pixels16(const std::vector<quint16> &values);
    std::unique_ptr<QTemporaryDir> dir;
};

void TstImgDataITEX::init()
{
    dir = std::make_unique<QTemporaryDir>();
    QVERIFY(dir->isValid());
}

QByteArray TstImgDataITEX::pixels16(const std::vector<quint16> &values)
{
    QByteArray bytes(qsizetype(values.size() * 2), '\0');
    for (size_t i = 0; i < values.size(); ++i)
        qToLittleEndian<quint16>(values[i], bytes.data() + i * 2);
    return bytes;
}

void TstImgDataITEX::comment_data()
{
    QTest::addColumn<QByteArray>("comment");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<int>("bytes");
    QTest::addColumn<double>("exposure");

    QTest::newRow("plain items") << QByteArray("Prop_ImageWidth=4,Prop_ImageHeight=3,BytesPerPixel=2,")
                                 << true << 4 << 3 << 2 << 1.0;
    // The last item counts only when a comma follows it: the pixel size stays 0.
    QTest::newRow("no trailing comma") << QByteArray("Prop_ImageWidth=4,Prop_ImageHeight=3,BytesPerPixel=2")
                                       << false << 4 << 3 << 0 << 1.0;
    QTest::newRow("blank after key") << QByteArray("Prop_ImageWidth= 4,Prop_ImageHeight=3,BytesPerPixel=2,")
                                     << true << 4 << 3 << 2 << 1.0;
    QTest::newRow("areSource fallback")
        << QByteArray("areSource=\"0,0,1024,512\",BytesPerPixel=2,") << true << 1024 << 512 << 2 << 1.0;
    QTest::newRow("width item wins over areSource")
        << QByteArray("Prop_ImageWidth=8,areSource=\"0,0,1024,512\",BytesPerPixel=4,") << true << 8 << 512 << 4 << 1.0;
    QTest::newRow("later exposure wins")
        << QByteArray("Prop_ExposureTime2=0.5,Prop_ExposureTime1=0.25,Prop_ImageWidth=4,Prop_ImageHeight=3,BytesPerPixel=2,")
        << true << 4 << 3 << 2 << 0.25;
    QTest::newRow("non-numeric width")
        << QByteArray("Prop_ImageWidth=abc,Prop_ImageHeight=3,BytesPerPixel=2,") << false << 0 << 3 << 2 << 1.0;
    QTest::newRow("missing pixel size") << QByteArray("Prop_ImageWidth=4,Prop_ImageHeight=3,")
                                        << false << 4 << 3 << 0 << 1.0;
    QTest::newRow("pixel size 3") << QByteArray("Prop_ImageWidth=4,Prop_ImageHeight=3,BytesPerPixel=3,")
                                  << false << 4 << 3 << 3 << 1.0;
    // Text mode reads CR LF as one character; the item after it starts with a line
    // feed and is not recognised.
    QTest::newRow("CRLF inside") << QByteArray("Prop_ImageWidth=4,\r\nProp_ImageHeight=3,BytesPerPixel=2,")
                                 << false << 4 << 0 << 2 << 1.0;
}

void TstImgDataITEX::comment()
{
    QFETCH(QByteArray, comment);
    QFETCH(bool, ok);
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(int, bytes);
    QFETCH(double, exposure);
    const QString file = path("c.img");
    QVERIFY(ItexWriter::writeRaw(file, comment, QByteArray(8 * 1024, '\0')));

    ImgDataITEX reader;
    int w = -1, h = -1;
    if (bytes != 2 && bytes != 4 && width > 0 && height > 0)
        QTest::ignoreMessage(QtDebugMsg, QRegularExpression("ITEX pixel size \\d+ is neither 2 nor 4 bytes"));
    QCOMPARE(reader.readProps(file, w, h), ok);
    QCOMPARE(w, width);
    QCOMPARE(h, height);
    QCOMPARE(reader.pixelBytes(), bytes);
    QCOMPARE(reader.exposureTime(), exposure);
    QCOMPARE(reader.pixelDataOffset(), 64 + int(comment.size()));
}

void TstImgDataITEX::signature()
{
    QVERIFY(ItexWriter::writeRaw(path("a.img"), "x,", QByteArray()));
    QVERIFY(isITEXFile(path("a.img")));
    QFile nine(path("nine.img"));
    QVERIFY(nine.open(QIODevice::WriteOnly));
    nine.write("IM\0\0\0\0\0\0\0", 9);
    nine.close();
    QVERIFY(isITEXFile(path("nine.img")));
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression("^Check File Type \\(ITEX\\):: Can not open \".*missing.img\"$"));
    QVERIFY(!isITEXFile(path("missing.img")));
}

void TstImgDataITEX::shortHeader()
{
    QFile nine(path("nine.img"));
    QVERIFY(nine.open(QIODevice::WriteOnly));
    nine.write("IM\0\0\0\0\0\0\0", 9);
    nine.close();
    ImgDataITEX reader;
    int w, h;
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression("^Error on reading ITEX file props\\. \".*nine.img\"$"));
    QVERIFY(!reader.readProps(path("nine.img"), w, h));
}

void TstImgDataITEX::commentPastEndOfFile()
{
    const QString file = path("past.img");
    QVERIFY(ItexWriter::writeRaw(file, "Prop_ImageWidth=4,Prop_ImageHeight=3,BytesPerPixel=2,", QByteArray()));
    QFile f(file);
    QVERIFY(f.open(QIODevice::ReadWrite));
    f.seek(2);
    f.write("\xff\x00", 2); // comment length 255, longer than what follows
    f.close();
    ImgDataITEX reader;
    int w = -1, h = -1;
    QVERIFY(!reader.readProps(file, w, h));
    QCOMPARE(w, 0);
    QCOMPARE(h, 0);

    // A comment length of zero always fails.
    QVERIFY(ItexWriter::writeRaw(path("empty.img"), QByteArray(), QByteArray(100, '\0')));
    QVERIFY(!reader.readProps(path("empty.img"), w, h));
}

void TstImgDataITEX::unsupportedPixelSizeRefused()
{
    const QString file = path("p1.img");
    QVERIFY(ItexWriter::writeRaw(file, "Prop_ImageWidth=4,Prop_ImageHeight=3,BytesPerPixel=1,", QByteArray(12, '\1')));
    ImgDataITEX reader;
    reader.setFileName(file);
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression("ITEX pixel size 1 is neither 2 nor 4 bytes"));
    QVERIFY(!reader.open());
    QVERIFY(!reader.isValid());
}

void TstImgDataITEX::hugeBlockRefused()
{
    // 65536 x 65536 x 4 bytes would overflow 32 bits and ask for 16 GiB.
    const QString file = path("huge.img");
    QVERIFY(ItexWriter::writeRaw(file, "Prop_ImageWidth=65536,Prop_ImageHeight=65536,BytesPerPixel=4,", QByteArray(16, '\0')));
    ImgDataITEX reader;
    reader.setFileName(file);
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression("ITEX pixel block of 17179869184 bytes is too large"));
    QVERIFY(!reader.open());
    // Just below the bound on the other side: 2^31 bytes exactly is refused too.
    QVERIFY(ItexWriter::writeRaw(file, "Prop_ImageWidth=32768,Prop_ImageHeight=32768,BytesPerPixel=2,", QByteArray(16, '\0')));
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression("ITEX pixel block of 2147483648 bytes is too large"));
    QVERIFY(!reader.open());
}

void TstImgDataITEX::shortPixelBlockReadsZeros()
{
    const QString file = path("short.img");
    // 3 x 2 pixels of 2 bytes need 12 bytes; 7 are present (the 4th pixel is cut in half).
    QByteArray bytes = pixels16({1, 2, 3, 0x0504});
    bytes.chop(1);
    QVERIFY(ItexWriter::writeRaw(file, "Prop_ImageWidth=3,Prop_ImageHeight=2,BytesPerPixel=2,", bytes));
    ImgDataITEX reader;
    reader.setFileName(file);
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression("ITEX pixel block is 5 bytes short, missing pixels read as 0"));
    QVERIFY(reader.open());
    double row[3];
    reader.line(0, row);
    QCOMPARE(row[0], 1.0);
    QCOMPARE(row[2], 3.0);
    reader.line(1, row);
    QCOMPARE(row[0], 4.0); // low byte present, high byte missing
    QCOMPARE(row[1], 0.0);
    QCOMPARE(row[2], 0.0);
}

void TstImgDataITEX::pixelsAndColumns()
{
    const QString file = path("grid.img");
    std::vector<quint32> values;
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x)
            values.push_back(quint32(100 * y + x));
    QVERIFY(ItexWriter::write(file, 4, 3, 2, values, 0.05));
    ImgDataITEX reader;
    reader.setFileName(file);
    QVERIFY(reader.open());
    QCOMPARE(reader.exposureTime(), 0.05);
    double row[4], col[3];
    QCOMPARE(reader.line(2, row), row);
    QCOMPARE(row[3], 203.0);
    QCOMPARE(reader.column(1, col), col);
    QCOMPARE(col[0], 1.0);
    QCOMPARE(col[1], 101.0);
    QCOMPARE(col[2], 201.0);
    double lo = -1, hi = -1;
    reader.minMax(lo, hi);
    QCOMPARE(lo, 0.0);
    QCOMPARE(hi, 203.0);
}

void TstImgDataITEX::topBitSetIsUnsigned()
{
    const QString file = path("big.img");
    QVERIFY(ItexWriter::write(file, 2, 1, 4, {0x80000000u, 0xFFFFFFFFu}));
    ImgDataITEX reader;
    reader.setFileName(file);
    QVERIFY(reader.open());
    double row[2];
    reader.line(0, row);
    QCOMPARE(row[0], 2147483648.0);
    QCOMPARE(row[1], 4294967295.0);
}

QTEST_GUILESS_MAIN(TstImgDataITEX)
#include "tst_imgdataitex.moc"
