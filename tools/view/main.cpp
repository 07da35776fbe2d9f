// zorvel-view: shows one ITEX or TIFF image file in an image view with its colour bar
// and position/value read-out, for checking files by eye.
#include "ImageViewer.h"
#include "ImgDispWPV.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QPixmap>
#include <QTimer>

#include <cstdio>

namespace {
constexpr int kWindowSide = 680;

// Waits until the window is laid out and painted, points at the canvas centre so that
// the read-out row shows a value, then writes the window to outFile and quits.
void scheduleScreenshot(ImageViewer &viewer, const QString &outFile)
{
    QTimer::singleShot(500, [&viewer, outFile] {
        QWidget *canvas = viewer.view()->dispA;
        viewer.pointAt(canvas->width() / 2, canvas->height() / 2);
        const bool saved = viewer.view()->grab().save(outFile);
        if (!saved)
            std::fprintf(stderr, "cannot write %s\n", qPrintable(outFile));
        QCoreApplication::exit(saved ? 0 : 1);
    });
}
} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName("zorvel-view");

    QCommandLineParser parser;
    parser.setApplicationDescription("Shows an ITEX (.img) or TIFF image file.");
    parser.addHelpOption();
    const QCommandLineOption screenshot("screenshot", "Save a picture of the window to <file> and exit.",
                                        "file");
    parser.addOption(screenshot);
    parser.addPositionalArgument("FILE", "The image file to show.");
    parser.process(app);
    if (parser.positionalArguments().size() != 1)
        parser.showHelp(2);

    ImageViewer viewer;
    const QString fileName = parser.positionalArguments().first();
    if (!viewer.open(fileName)) {
        std::fprintf(stderr, "cannot read %s as an image\n", qPrintable(fileName));
        return 1;
    }
    // Wide enough for the read-out row and the colour-bar fields side by side.
    viewer.view()->resize(kWindowSide, kWindowSide);
    viewer.view()->show();
    if (parser.isSet(screenshot))
        scheduleScreenshot(viewer, parser.value(screenshot));
    return app.exec();
}
