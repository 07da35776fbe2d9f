// zorvel-ct1: the processing controls, the sinogram panel and the CT1 panel on one
// projection series, connected as in the workbench window. "Calc" on the CT1 panel
// starts and stops a run.
//
//   zorvel-ct1 [--i0 FILE] [--bg FILE] [--cor C] [--slice S] [--horizontal] [--fourier]
//              [--one-by-one] [--find-cor] [--screenshot FILE] PROJECTION...
//
// --find-cor presses "Find CoR" at start. --screenshot reconstructs the slice (after the
// centre has been found, with --find-cor), grabs the sinogram panel into FILE and the CT1
// panel into FILE with "-ct1" before its suffix, then quits.

#include "CtCalc.h"
#include "ImgData.h"
#include "ImgDatas.h"
#include "ProcCtrl.h"
#include "Sinogram.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QTimer>

#include <memory>

namespace {

QString companionName(const QString &fileName, const QString &tag)
{
    const QFileInfo info(fileName);
    return info.dir().filePath(info.completeBaseName() + tag + "." + info.suffix());
}

ImgDatas::Reader openReference(const QString &fileName)
{
    return fileName.isEmpty() ? nullptr : openImgData(fileName);
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription("Sinogram panel and CT1 engine on a projection series (angle order, half a turn).");
    parser.addHelpOption();
    parser.addPositionalArgument("projections", "Projection images in angle order.", "FILE...");
    const QCommandLineOption i0Option("i0", "Incident-beam image.", "FILE");
    const QCommandLineOption bgOption("bg", "Dark image.", "FILE");
    const QCommandLineOption corOption("cor", "Centre of rotation (default: detector centre).", "C");
    const QCommandLineOption sliceOption("slice", "Slice (default: middle line).", "S");
    const QCommandLineOption horizontalOption("horizontal", "Rotation axis horizontal.");
    const QCommandLineOption fourierOption("fourier", "Show the Fourier view of the sinogram.");
    const QCommandLineOption oneByOneOption("one-by-one", "Reconstruct projection by projection.");
    const QCommandLineOption findCorOption("find-cor", "Find the centre of rotation at start.");
    const QCommandLineOption screenshotOption("screenshot", "Reconstruct, grab the panels into FILE and quit.", "FILE");
    parser.addOptions({i0Option, bgOption, corOption, sliceOption, horizontalOption, fourierOption,
                       oneByOneOption, findCorOption, screenshotOption});
    parser.process(app);

    ImgDatas series;
    const ImgDatas::Reader i0 = openReference(parser.value(i0Option));
    const ImgDatas::Reader bg = openReference(parser.value(bgOption));
    series.setI0Link(&i0);
    series.setBgLink(&bg);
    for (const QString &file : parser.positionalArguments())
        series.add(file);
    if (series.count() == 0) {
        qDebug() << "No projection could be read";
        return 1;
    }

    QFrame window;
    window.setWindowTitle(QCoreApplication::translate("Ct1Tool", "Zorvel CT1"));
    auto *grid = new QGridLayout(&window);
    auto *procCtrl = new ProcCtrl;
    auto *sinogram = new Sinogram;
    auto *ct1 = new CtCalc;
    grid->addWidget(procCtrl, 0, 0, 1, 2);
    grid->addWidget(sinogram, 1, 0);
    grid->addWidget(ct1, 1, 1);
    grid->setColumnStretch(0, 2);
    grid->setColumnStretch(1, 1);

    const bool vertical = !parser.isSet(horizontalOption);
    if (vertical)
        procCtrl->RotAxV->click();
    const int across = vertical ? series.imageWidth() : series.imageHeight();
    const int along = vertical ? series.imageHeight() : series.imageWidth();
    procCtrl->setSliceNo(parser.isSet(sliceOption) ? parser.value(sliceOption).toInt() : along / 2);
    procCtrl->setCor(parser.isSet(corOption) ? parser.value(corOption).toDouble() : across * 0.5);
    procCtrl->setSliceTo(along - 1);
    sinogram->setGenFouS(parser.isSet(fourierOption));
    ct1->CalcAtOnce->setChecked(!parser.isSet(oneByOneOption));

    QObject::connect(procCtrl, &ProcCtrl::sliceNoUpdated, sinogram, &Sinogram::sliceNoUpdated);
    QObject::connect(procCtrl, &ProcCtrl::corUpdated, sinogram, &Sinogram::corUpdated);
    QObject::connect(procCtrl, &ProcCtrl::rotAxUpdated, sinogram, &Sinogram::rotAxUpdated);
    QObject::connect(procCtrl, &ProcCtrl::autoUpdateUpdated, sinogram, &Sinogram::autoUpdateUpdated);
    QObject::connect(ct1, &CtCalc::askToStartCalc, ct1, &CtCalc::calcCt);
    sinogram->setProcCtrl(procCtrl);
    sinogram->setImgDatas(&series);
    ct1->setSinogramPanel(sinogram);
    sinogram->corUpdated(); // shows the centre and builds the first sinogram

    window.resize(1500, 760);
    window.show();

    if (parser.isSet(screenshotOption)) {
        const QString shot = parser.value(screenshotOption);
        QObject::connect(ct1, &CtCalc::calcFinished, &app, [&]() {
            QTimer::singleShot(300, &app, [&]() {
                const bool saved = sinogram->grab().save(shot) && ct1->grab().save(companionName(shot, "-ct1"));
                if (!saved)
                    qDebug() << "Can not save the screenshot" << shot;
                app.exit(saved ? 0 : 1);
            });
        });
        if (parser.isSet(findCorOption))
            QObject::connect(sinogram, &Sinogram::corSearchFinished, ct1, &CtCalc::startCt);
        else
            QTimer::singleShot(300, ct1, &CtCalc::startCt);
    }
    if (parser.isSet(findCorOption))
        QTimer::singleShot(0, sinogram, &Sinogram::findCor);
    return app.exec();
}
