#include "DataSaver.h"
#include "DrainingThread.h"
#include "SavingData.h"
#include "SavingImg.h"
#include "ThreadHandoff.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <thread>
#include <vector>

namespace {

QByteArray contentsOf(int worker, int record)
{
    // Large enough that a half-written file would show.
    return QByteArray(200000 + record, char('a' + worker)) + QByteArray::number(record) + '\n';
}

QString nameOf(const QTemporaryDir &dir, int worker, int record)
{
    return dir.filePath(QString("w%1-%2.dat").arg(worker).arg(record));
}

// Sends records from its own thread, as a worker does.
class Sender : public QObject
{
    Q_OBJECT
signals:
    void saveDataWDiscard(SavingData *data);
};

} // namespace

// The background saver: complete files from many senders, failures as one debug line,
// and no record lost when its thread is asked to quit.
class TestDataSaver : public QObject
{
    Q_OBJECT
private slots:
    void manyWorkersWriteCompleteFiles();
    void unwritableTargets_data();
    void unwritableTargets();
    void imageInTheSuffixFormat();
};

void TestDataSaver::manyWorkersWriteCompleteFiles()
{
    QTemporaryDir dir;
    DataSaver saver;
    DrainingThread saverThread;
    saver.moveToThread(&saverThread);
    saverThread.start();
    constexpr int workers = 8;
    constexpr int records = 100;
    std::vector<std::unique_ptr<Sender>> senders;
    std::vector<std::thread> threads;
    for (int w = 0; w < workers; ++w) {
        senders.push_back(std::make_unique<Sender>());
        connect(senders.back().get(), &Sender::saveDataWDiscard, &saver, &DataSaver::saveDataWDiscard);
    }
    for (int w = 0; w < workers; ++w) {
        threads.emplace_back([&, w]() {
            for (int r = w; r < records; r += workers) {
                auto *record = new SavingData{nameOf(dir, w, r), contentsOf(w, r)};
                ThreadHandoff::publish(record);
                emit senders[size_t(w)]->saveDataWDiscard(record);
            }
        });
    }
    for (std::thread &t : threads)
        t.join();
    // Quit at once: what was queued is still written before the thread ends.
    saverThread.quit();
    QVERIFY(saverThread.wait(60000));
    for (int w = 0; w < workers; ++w) {
        for (int r = w; r < records; r += workers) {
            QFile file(nameOf(dir, w, r));
            QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(file.fileName()));
            QCOMPARE(file.readAll(), contentsOf(w, r));
        }
    }
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files).size(), records);
}

void TestDataSaver::unwritableTargets_data()
{
    QTest::addColumn<QString>("relativeName");
    QTest::newRow("missing directory") << "missing/ct-00001.dat";
    QTest::newRow("read-only directory") << "locked/ct-00001.dat";
    QTest::newRow("a directory in the way") << "taken";
}

void TestDataSaver::unwritableTargets()
{
    QFETCH(QString, relativeName);
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir("locked") && QDir(dir.path()).mkdir("taken")
            && QDir(dir.path()).mkdir("taken.png"));
    QFile::setPermissions(dir.filePath("locked"), QFile::ReadOwner | QFile::ExeOwner);
    if (relativeName.startsWith("locked/") && QFile(dir.filePath("locked/probe")).open(QIODevice::WriteOnly))
        QSKIP("running with permissions that ignore a read-only directory");
    const QString fileName = dir.filePath(relativeName);
    QTest::ignoreMessage(QtDebugMsg, qPrintable(QString("Failed to write the data file \"%1\"").arg(fileName)));
    DataSaver saver;
    saver.saveDataWDiscard(new SavingData{fileName, "#ZRVL-CTImg\n"});
    QTest::ignoreMessage(QtDebugMsg, qPrintable(QString("Failed to save the image \"%1.png\"").arg(fileName)));
    QImage image(4, 4, QImage::Format_Grayscale8);
    image.fill(7);
    saver.saveImgWDiscard(new SavingImg{fileName + ".png", image});
    QCOMPARE(QFileInfo(fileName).isFile(), false);
    QCOMPARE(QFileInfo(fileName + ".png").isFile(), false);
    QFile::setPermissions(dir.filePath("locked"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QCOMPARE(QDir(dir.filePath("locked")).entryList(QDir::Files | QDir::Hidden).size(), 0);
}

void TestDataSaver::imageInTheSuffixFormat()
{
    QTemporaryDir dir;
    QImage image(5, 3, QImage::Format_Grayscale8);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x)
            image.scanLine(y)[x] = uchar(40 * y + x);
    DataSaver saver;
    saver.saveImgWDiscard(new SavingImg{dir.filePath("ct-00003.png"), image});
    QImage back(dir.filePath("ct-00003.png"), "png");
    QCOMPARE(back.convertToFormat(QImage::Format_Grayscale8), image);
    // saveData keeps the record.
    SavingData data{dir.filePath("kept.dat"), "1\t2\t3\n"};
    saver.saveData(&data);
    QFile kept(data.fileName);
    QVERIFY(kept.open(QIODevice::ReadOnly));
    QCOMPARE(kept.readAll(), data.data);
}

QTEST_GUILESS_MAIN(TestDataSaver)
#include "tst_datasaver.moc"
