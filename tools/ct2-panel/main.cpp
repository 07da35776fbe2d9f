// Shows a CT2 panel holding a slice its worker reconstructed on its own thread.
//
//   zorvel-ct2-panel [--data DIR] [--cor C] [--slice S] [--screenshot FILE]
//
// DIR holds a series tooth_000.img ... with i0.img and bg.img (default: the tooth
// series under $ZORVEL_REAL_DATA). --screenshot grabs the panel into FILE and quits.

#include "CtCalc2.h"
#include "CtCalc2Ui.h"
#include "CtDispatcher.h"
#include "ImgData.h"
#include "ImgDatas.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDebug>
#include <QDir>
#include <QThread>
#include <QTimer>

#include <memory>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    const QCommandLineOption dataOption("data", "Series folder.", "DIR",
                                        QDir(qEnvironmentVariable("ZORVEL_REAL_DATA")).filePath("tooth"));
    const QCommandLineOption corOption("cor", "Centre of rotation.", "C", "295.5");
    const QCommandLineOption sliceOption("slice", "Slice.", "S", "0");
    const QCommandLineOption screenshotOption("screenshot", "Grab the panel into FILE and quit.", "FILE");
    parser.addOptions({dataOption, corOption, sliceOption, screenshotOption});
    parser.process(app);

    const QDir dir(parser.value(dataOption));
    ImgDatas imgs;
    const QStringList files = dir.entryList({"tooth_*.img"}, QDir::Files, QDir::Name);
    for (const QString &file : files)
        imgs.add(dir.filePath(file));
    if (imgs.count() < 2) {
        qDebug() << "No projection series in" << dir.path();
        return 1;
    }
    const std::unique_ptr<ImgData> i0 = openImgData(dir.filePath("i0.img"));
    const std::unique_ptr<ImgData> bg = openImgData(dir.filePath("bg.img"));
    ImgData *i0Slot = i0.get();
    ImgData *bgSlot = bg.get();
    imgs.setI0Link(&i0Slot);
    imgs.setBgLink(&bgSlot);

    CtCalc2Ui panel;
    panel.setWindowTitle(QCoreApplication::translate("CtCalc2Ui", "CT Calc2 %1").arg(1));
    CtCalc2 worker;
    QThread thread;
    worker.setPanel(&panel);
    worker.setImgDatas(&imgs);
    worker.moveToThread(&thread);
    thread.start(QThread::InheritPriority);
    CtDispatcher dispatcher;
    dispatcher.setWorkers({&worker});
    QObject::connect(&dispatcher, &CtDispatcher::startCt, &worker,
                     qOverload<CtCalc2 *, bool, double, int, bool>(&CtCalc2::startCt));
    QObject::connect(&worker, &CtCalc2::calcFinished, &dispatcher, &CtDispatcher::execMultiCtCalc);

    CtDispatcher::Run run;
    run.rotAxIsV = true;
    run.cor = parser.value(corOption).toDouble();
    run.slice = parser.value(sliceOption).toInt();
    run.dim = imgs.imageWidth();
    run.projections = imgs.count();
    panel.resize(760, 860);
    panel.show();
    if (parser.isSet(screenshotOption)) {
        QObject::connect(&dispatcher, &CtDispatcher::finished, &app, [&]() {
            QTimer::singleShot(300, &app, [&]() {
                const bool saved = panel.grab().save(parser.value(screenshotOption));
                if (!saved)
                    qDebug() << "Can not save the screenshot" << parser.value(screenshotOption);
                app.exit(saved ? 0 : 1);
            });
        });
    }
    dispatcher.start(run);
    const int status = app.exec();
    thread.quit();
    thread.wait();
    return status;
}
