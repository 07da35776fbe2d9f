// Shows the control panels in one window, filled as during a measurement: a slice
// range, a projection series of 180 images, save locations, an I0 image that loaded
// and a BG file that did not, a CT-XAFS directory of three energies in "KST Std."
// naming with its second set loaded, the XAFS I0 panels, and a view in a pop-out frame.
//
//   zorvel-panel-gallery [--screenshot FILE] [--data DIR]
//
// --screenshot grabs the window into FILE and the I0 image window into FILE with
// "-i0view" before its suffix, then quits. --data names the real-data folder (default
// $ZORVEL_REAL_DATA); without it the images are generated ITEX files.

#include "I0ofImage.h"
#include "ImgData.h"
#include "ImageRendering.h"
#include "ImgDispWPV.h"
#include "ItexWriter.h"
#include "PopDockBase.h"
#include "ProcCtrl.h"
#include "SeekCtrl.h"
#include "SelectAFile.h"
#include "SelectAImgFile.h"
#include "SelectDataDir.h"
#include "SelectDataFiles.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QTemporaryDir>
#include <QTimer>

#include <cmath>
#include <memory>

namespace {

struct GalleryImages
{
    QString projection; // shown in the pop-out frame
    QString i0;         // loads
    QString bg;         // does not load
};

// A disc with a bright rim on a smooth background, as an I0-normalised projection looks.
QString writeSyntheticImage(const QString &fileName)
{
    const int size = 256;
    std::vector<quint32> pixels(size * size);
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            const double r = std::hypot(x - size / 2.0, y - size / 2.0);
            const double disc = r < 90 ? 1500.0 + (r > 80 ? 1500.0 : 0.0) : 0.0;
            pixels[size_t(y * size + x)] = quint32(1000.0 + 4.0 * x + disc);
        }
    }
    ItexWriter::write(fileName, size, size, 2, pixels, 0.05);
    return fileName;
}

GalleryImages findImages(const QString &dataDir, const QTemporaryDir &scratch)
{
    const QString savu = dataDir + "/savu/tiffs";
    if (!dataDir.isEmpty() && QFileInfo::exists(savu + "/raw_00000.tiff"))
        return {savu + "/raw_00000.tiff", dataDir + "/savu/flat_00001.tiff", dataDir + "/README.md"};
    const QString generated = writeSyntheticImage(scratch.filePath("projection.img"));
    return {generated, generated, scratch.filePath("missing-bg.img")};
}

QLabel *caption(const QString &text)
{
    auto *label = new QLabel(text);
    label->setStyleSheet("font-weight: bold;");
    return label;
}

QString companionName(const QString &fileName, const QString &tag)
{
    const QFileInfo info(fileName);
    return info.dir().filePath(info.completeBaseName() + tag + "." + info.suffix());
}

// A CT-XAFS directory: three energies of 4 small projections each, in "KST Std." naming.
QString writeXafsSeries(const QTemporaryDir &scratch)
{
    QDir dir(scratch.path());
    dir.mkdir("xafs");
    dir.cd("xafs");
    const std::vector<quint32> pixels(16 * 16, 1000);
    for (const char *energy : {"7100eV", "7112_5eV", "7130eV"}) {
        for (int i = 0; i < 4; ++i)
            ItexWriter::write(dir.filePath(QString("fe-%1-%2.img").arg(energy).arg(i, 5, 10, QChar('0'))), 16, 16, 2,
                              pixels, 1.0);
    }
    return dir.path();
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    const QCommandLineOption screenshotOption("screenshot", "Grab the window into FILE and quit.", "FILE");
    const QCommandLineOption dataOption("data", "Real-data folder.", "DIR",
                                        qEnvironmentVariable("ZORVEL_REAL_DATA"));
    parser.addOptions({screenshotOption, dataOption});
    parser.process(app);

    QTemporaryDir scratch;
    const GalleryImages images = findImages(parser.value(dataOption), scratch);

    QFrame window;
    window.setWindowTitle(QCoreApplication::translate("PanelGallery", "Zorvel panel gallery"));
    auto *grid = new QGridLayout(&window);

    auto *procCtrl = new ProcCtrl;
    procCtrl->Threads->setMaximum(32);
    procCtrl->Threads->setValue(32);
    procCtrl->setSliceFrom(0);
    procCtrl->setSliceTo(134);
    procCtrl->setSliceNo(67);
    procCtrl->setCor(85.5);
    procCtrl->RotAxV->click();
    procCtrl->setQuantitative(true);
    procCtrl->setFilterWindow(QStringLiteral("hamming"));

    auto *seekCtrl = new SeekCtrl;
    seekCtrl->Seek->setMaximum(179);
    seekCtrl->Index->setMaximum(179);
    seekCtrl->Index->setValue(37);

    auto *imageSaveDir = new SelectAFile;
    imageSaveDir->setMode(SelectAFile::SaveLocation);
    imageSaveDir->Name->show();
    imageSaveDir->AddTag->show();
    imageSaveDir->fileSelected0(scratch.filePath("results/run1/tooth.png"));
    imageSaveDir->AddTag->setText("7112eV");

    auto *i0Sel = new SelectAImgFile;
    i0Sel->fileSelected0(images.i0);
    auto *bgSel = new SelectAImgFile;
    bgSel->fileSelected0(images.bg);
    bgSel->setExpTime(0.1);

    // The data sets of a CT-XAFS directory, the second one loaded into the projection list.
    auto *dataDir = new SelectDataDir;
    dataDir->setIsKSTStandard(true);
    dataDir->aDirSelected(writeXafsSeries(scratch));
    dataDir->SubDirs->setCurrentIndex(1);
    auto *ctFiles = new SelectDataFiles;
    ctFiles->LoadNewFiles->setChecked(true);
    QObject::connect(ctFiles, &SelectDataFiles::filesSelected, ctFiles, [ctFiles](const QStringList &files) {
        for (const QString &file : files)
            ctFiles->addFileName(file);
    });
    QObject::connect(dataDir, &SelectDataDir::selectedFileInfoList, ctFiles, &SelectDataFiles::setFileInfoList);
    dataDir->set();
    auto *i0Files = new SelectDataFiles;
    i0Files->setKeepConditions(true);
    i0Files->Title->setText(QCoreApplication::translate("PanelGallery", "I0 File Set"));
    auto *i0OfRaw = new I0ofImage;
    i0OfRaw->Title->setText(QCoreApplication::translate("PanelGallery", "I0 of Raw Image"));
    i0OfRaw->XafsFile->fileSelected0(parser.value(dataOption) + "/xafs/PF9A_2022.dat");
    i0OfRaw->CalcFromXAFS->setChecked(true);
    i0OfRaw->setEnergy(dataDir->currentEnergy());

    int row = 0;
    grid->addWidget(caption(QCoreApplication::translate("PanelGallery", "CT Proc. Ctrl")), row++, 0);
    grid->addWidget(procCtrl, row++, 0);
    grid->addWidget(caption(QCoreApplication::translate("PanelGallery", "Row Images")), row++, 0);
    grid->addWidget(ctFiles, row++, 0);
    grid->addWidget(seekCtrl, row++, 0);
    grid->addWidget(caption(QCoreApplication::translate("PanelGallery", "Auto Save Img")), row++, 0);
    grid->addWidget(imageSaveDir, row++, 0);
    grid->addWidget(caption(QCoreApplication::translate("PanelGallery", "I0 Image")), row++, 0);
    grid->addWidget(i0Sel, row++, 0);
    grid->addWidget(caption(QCoreApplication::translate("PanelGallery", "BG Image")), row++, 0);
    grid->addWidget(bgSel, row++, 0);
    grid->addWidget(caption(QCoreApplication::translate("PanelGallery", "Sequential Exec")), row++, 0);
    grid->addWidget(dataDir, row++, 0);
    grid->addWidget(i0Files, row++, 0);
    grid->addWidget(i0OfRaw, row++, 0);
    grid->setRowStretch(row, 1);

    // The measured projection in a frame that can be popped out, as on the main window's tabs.
    auto *rawFrame = new PopDockBase;
    auto *rawView = new ImgDispWPV;
    const std::unique_ptr<ImgData> projection = openImgData(images.projection);
    if (projection) {
        renderThroughBar(*projection, rawView->img, *rawView->CBar);
        rawView->newImage();
    }
    rawFrame->content = rawView;
    rawFrame->Layout->addWidget(rawView);
    rawFrame->popBase.setWindowTitle(QCoreApplication::translate("PanelGallery", "Measured Raw Image"));
    grid->addWidget(rawFrame, 0, 1, row + 1, 1);
    grid->setColumnStretch(0, 3);
    grid->setColumnStretch(1, 2);

    window.resize(1200, 900);
    window.show();

    if (parser.isSet(screenshotOption)) {
        const QString shot = parser.value(screenshotOption);
        QTimer::singleShot(500, &app, [&]() {
            const bool saved = window.grab().save(shot)
                               && i0Sel->imageView().grab().save(companionName(shot, "-i0view"));
            if (!saved)
                qDebug() << "Can not save the screenshot" << shot;
            app.exit(saved ? 0 : 1);
        });
    }
    return app.exec();
}
