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
    void unreadableHeaders();
    void shortPixelBlockReadsZeros();
    void fourBytePixelsAreUnsigned();

private:
    // Header with the declared comment length (the real one when negative), comment, pixel bytes.
    QString writeItex(const QString &name, const QByteArray &comment, const QByteArray &pixels, int declared = -1);
    std::unique_ptr<QTemporaryDir> dir;
};

void TstImgDataITEX::init()
{
    dir = std::make_unique<QTemporaryDir>();
    QVERIFY(dir->isValid());
}

QString TstImgDataITEX::writeItex(const QString &name, const QByteArray &comment, const QByteArray &pixels,
                                  int declared)
{
    QByteArray header(64, '\0');
    header[0] = 'I';
    header[1] = 'M';
    qToLittleEndian<quint16>(quint16(declared < 0 ? comment.size() : declared), header.data() + 2);
    QFile f(dir->filePath(name));
    if (!f.open(QIODevice::WriteOnly))
        return QString();
    f.write(header + comment + pixels);
    return f.fileName();
}

void TstImgDataITEX::comment_data()
{
    QTest::addColumn<QByteArray>("comment");
    QTest::addColumn<int>("declared");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<int>("bytes");
    QTest::addColumn<double>("exposure");
    QTest::addColumn<QString>("message"); // debug line before the file name; empty: none

    const QByteArray size43 = "Prop_ImageWidth=4,Prop_ImageHeight=3,";
    QTest::newRow("plain items") << size43 + "BytesPerPixel=2," << -1 << true << 4 << 3 << 2 << 1.0 << "";
    // The last item counts only when a comma follows it: the pixel size stays 0.
    QTest::newRow("no trailing comma") << size43 + "BytesPerPixel=2" << -1 << false << 4 << 3 << 0 << 1.0
                                       << "ITEX pixel size 0 is neither 2 nor 4 bytes : ";
    QTest::newRow("blank after key") << QByteArray("Prop_ImageWidth= 4,Prop_ImageHeight=3,BytesPerPixel=4,")
                                     << -1 << true << 4 << 3 << 4 << 1.0 << "";
    QTest::newRow("pixel size 3") << size43 + "BytesPerPixel=3," << -1 << false << 4 << 3 << 3 << 1.0
                                  << "ITEX pixel size 3 is neither 2 nor 4 bytes : ";
    QTest::newRow("areSource fallback") << QByteArray("areSource=\"0,0,1024,512\",BytesPerPixel=2,")
                                        << -1 << true << 1024 << 512 << 2 << 1.0 << "";
    QTest::newRow("width item wins over areSource")
        << QByteArray("Prop_ImageWidth=8,areSource=\"0,0,1024,512\",BytesPerPixel=2,") << -1 << true << 8 << 512
        << 2 << 1.0 << "";
    QTest::newRow("areSource span overflowing 32 bits")
        << QByteArray("areSource=\"-2147483647,0,2147483647,1\",BytesPerPixel=2,") << -1 << false << 0 << 1 << 2
        << 1.0 << "";
    QTest::newRow("later exposure wins") << "Prop_ExposureTime2=0.5,Prop_ExposureTime1=0.25," + size43 + "BytesPerPixel=2,"
                                         << -1 << true << 4 << 3 << 2 << 0.25 << "";
    QTest::newRow("non-numeric width") << QByteArray("Prop_ImageWidth=abc,Prop_ImageHeight=3,BytesPerPixel=2,")
                                       << -1 << false << 0 << 3 << 2 << 1.0 << "";
    QTest::newRow("negative height") << QByteArray("Prop_ImageWidth=4,Prop_ImageHeight=-3,BytesPerPixel=2,")
                                     << -1 << false << 4 << 0 << 2 << 1.0 << "";
    // Text mode reads CR LF as one character; the item after it starts with a line feed
    // and is not recognised.
    QTest::newRow("CRLF inside") << QByteArray("Prop_ImageWidth=4,\r\nProp_ImageHeight=3,BytesPerPixel=2,")
                                 << -1 << false << 4 << 0 << 2 << 1.0 << "";
    // L counts decoded characters: the two-byte letter leaves room for the comma that
    // starts the pixel block, which ends the last item.
    QTest::newRow("characters, not bytes") << "Note=\xc3\xa9," + size43 + "BytesPerPixel=2" << -1 << true << 4 << 3
                                           << 2 << 1.0 << "";
    QTest::newRow("zero comment length") << size43 + "BytesPerPixel=2," << 0 << false << 0 << 0 << 0 << 1.0 << "";
    QTest::newRow("comment past end of file") << size43 + "BytesPerPixel=2," << 60000 << false << 0 << 0 << 0 << 1.0
                                              << "";
    const QString sideLimit = "is outside 1 ... 1048576 pixels a side : ";
    QTest::newRow("widest side") << QByteArray("Prop_ImageWidth=1048576,Prop_ImageHeight=1,BytesPerPixel=2,") << -1
                                 << true << 1048576 << 1 << 2 << 1.0 << "";
    QTest::newRow("300,000,000 x 1") << QByteArray("Prop_ImageWidth=300000000,Prop_ImageHeight=1,BytesPerPixel=2,")
                                     << -1 << false << 300000000 << 1 << 2 << 1.0
                                     << "Image size 300000000 x 1 " + sideLimit;
    QTest::newRow("1 x 2^20 + 1") << QByteArray("Prop_ImageWidth=1,Prop_ImageHeight=1048577,BytesPerPixel=4,") << -1
                                  << false << 1 << 1048577 << 4 << 1.0 << "Image size 1 x 1048577 " + sideLimit;
    QTest::newRow("block of 2^31") << QByteArray("Prop_ImageWidth=32768,Prop_ImageHeight=32768,BytesPerPixel=2,")
                                   << -1 << false << 32768 << 32768 << 2 << 1.0
                                   << "ITEX pixel block of 2147483648 bytes is too large : ";
    QTest::newRow("decimal, never octal") << QByteArray("Prop_ImageWidth=0640,Prop_ImageHeight=010,BytesPerPixel=2,")
                                          << -1 << true << 640 << 10 << 2 << 1.0 << "";
    QTest::newRow("exposure 2 after 1") << "Prop_ExposureTime1=0.25,Prop_ExposureTime2=0.5," + size43 + "BytesPerPixel=2,"
                                        << -1 << true << 4 << 3 << 2 << 0.5 << "";
    // A time that is not a finite number counts as 0, as typed into a field.
    QTest::newRow("exposure nan") << "Prop_ExposureTime1=nan," + size43 + "BytesPerPixel=2," << -1 << true << 4 << 3
                                  << 2 << 0.0 << "";
    QTest::newRow("exposure inf") << "Prop_ExposureTime2=-inf," + size43 + "BytesPerPixel=2," << -1 << true << 4 << 3
                                  << 2 << 0.0 << "";
}

void TstImgDataITEX::comment()
{
    QFETCH(QByteArray, comment);
    QFETCH(int, declared);
    QFETCH(bool, ok);
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(int, bytes);
    QFETCH(double, exposure);
    QFETCH(QString, message);
    const QString file = writeItex("c.img", comment, "," + QByteArray(4096, '\0'), declared);
    if (!message.isEmpty())
        QTest::ignoreMessage(QtDebugMsg, qPrintable(message + " \"" + file + "\""));
    ImgDataITEX reader;
    int w = -1, h = -1;
    QCOMPARE(reader.readProps(file, w, h), ok);
    QCOMPARE(w, width);
    QCOMPARE(h, height);
    QCOMPARE(reader.pixelBytes(), bytes);
    QCOMPARE(reader.exposureTime(), exposure);
    QCOMPARE(reader.pixelDataOffset(), 64 + (declared < 0 ? int(comment.size()) : declared));
}

void TstImgDataITEX::unreadableHeaders()
{
    const QString nine = dir->filePath("nine.img");
    QFile f(nine);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("IM\0\0\0\0\0\0\0", 9);
    f.close();
    QVERIFY(isITEXFile(nine));
    ImgDataITEX reader;
    int w, h;
    QTest::ignoreMessage(QtDebugMsg, qPrintable("Error on reading ITEX file props. \"" + nine + "\""));
    QVERIFY(!reader.readProps(nine, w, h));

    const QString missing = dir->filePath("missing.img");
    QTest::ignoreMessage(QtDebugMsg, qPrintable("Check File Type (ITEX):: Can not open \"" + missing + "\""));
    QVERIFY(!isITEXFile(missing));
    QTest::ignoreMessage(QtDebugMsg, qPrintable("Can not open ITEX file to read props. \"" + missing + "\""));
    QVERIFY(!reader.readProps(missing, w, h));
}

void TstImgDataITEX::shortPixelBlockReadsZeros()
{
    // 3 x 2 pixels of 2 bytes need 12 bytes; 7 are present (the 4th pixel is cut in half).
    const QString file = writeItex("short.img", "Prop_ImageWidth=3,Prop_ImageHeight=2,BytesPerPixel=2,",
                                   QByteArray("\1\0\2\0\3\0\4", 7));
    ImgDataITEX reader;
    reader.setFileName(file);
    QTest::ignoreMessage(QtDebugMsg,
                         qPrintable("ITEX pixel block is 5 bytes short, missing pixels read as 0 :  \"" + file + "\""));
    QVERIFY(reader.open());
    double rows[6];
    reader.line(0, rows);
    reader.line(1, rows + 3);
    const double expected[6] = {1, 2, 3, 4, 0, 0}; // the 4th pixel keeps its low byte
    for (int i = 0; i < 6; ++i)
        QCOMPARE(rows[i], expected[i]);
}

void TstImgDataITEX::fourBytePixelsAreUnsigned()
{
    const QString file = dir->filePath("big.img");
    QVERIFY(!ItexWriter::write(file, 0, 6, 4, {}) && !ItexWriter::write(file, 3, 0, 4, {}));
    QVERIFY(ItexWriter::write(file, 3, 2, 4, {7, 0x80000000u, 0xFFFFFFFFu, 100, 101, 102}, 0.05));
    ImgDataITEX reader;
    reader.setFileName(file);
    QVERIFY(reader.open());
    QCOMPARE(reader.exposureTime(), 0.05);
    double row[3], col[2];
    QCOMPARE(reader.line(0, row), row);
    QCOMPARE(row[1], 2147483648.0);
    QCOMPARE(row[2], 4294967295.0);
    QCOMPARE(reader.column(2, col), col);
    QCOMPARE(col[0], 4294967295.0);
    QCOMPARE(col[1], 102.0);
    double lo = -1, hi = -1;
    reader.minMax(lo, hi);
    QCOMPARE(lo, 7.0);
    QCOMPARE(hi, 4294967295.0);

    // After reset the reader holds no pixel block: rows and columns leave the buffer alone.
    reader.reset();
    row[0] = row[1] = row[2] = -1.0;
    reader.line(1, row);
    reader.column(0, row);
    QCOMPARE(row[0], -1.0);
    QCOMPARE(row[2], -1.0);
    // Nor after properties that could not be read (no pixel size to divide by).
    int w, h;
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression("^Can not open ITEX file to read props"));
    QVERIFY(!reader.readProps(dir->filePath("absent.img"), w, h));
    reader.line(0, row);
    QCOMPARE(row[0], -1.0);
}

QTEST_GUILESS_MAIN(TstImgDataITEX)
#include "tst_imgdataitex.moc"
