// Shows a CT2 panel holding a slice its worker reconstructed on its own thread.
//
//   zorvel-ct2-panel [--data DIR] [--cor C] [--slice S] [--screenshot FILE]
//
// DIR holds a series tooth_000.img ... with i0.img and bg.img (default: the tooth
// series under $ZORVEL_REAL_DATA). --screenshot grabs the panel into FILE and quits.

#include "CtCalc2Ui.h"
#include "CtPool.h"
#include "ImgData.h"
#include "ImgDatas.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDebug>
#include <QDir>
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
    const ImgDatas::Reader i0 = openImgData(dir.filePath("i0.img"));
    const ImgDatas::Reader bg = openImgData(dir.filePath("bg.img"));
    imgs.setI0Link(&i0);
    imgs.setBgLink(&bg);

    CtCalc2Ui panel;
    panel.setWindowTitle(QCoreApplication::translate("CtCalc2Ui", "CT Calc2 %1").arg(1));
    CtPool pool(1);
    CtDispatcher &dispatcher = pool.dispatcher();
    QObject::connect(&dispatcher, &CtDispatcher::sliceStarted, &panel, [&panel](int, int slice) { panel.sliceStarted(slice); });
    QObject::connect(&dispatcher, &CtDispatcher::sliceFinished, &panel, &CtCalc2Ui::showResult);

    auto snapshot = std::make_shared<RunSnapshot>();
    snapshot->series = imgs.snapshot();
    snapshot->cor = parser.value(corOption).toDouble();
    CtDispatcher::Run run;
    run.snapshot = snapshot;
    run.slice = parser.value(sliceOption).toInt();
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
    return app.exec();
}
