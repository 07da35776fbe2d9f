// zorvel-recon: reconstructs slices of a projection series without the workbench window,
// with the same sinogram generation, ramp filter and back-projection as the CT2 engine.
// Each slice is written as an 8-bit PNG over its own value range, or with --tiff as a
// 32-bit float TIFF of its values.

#include "BpCore.h"
#include "ColorScale.h"
#include "DataSaver.h"
#include "FloatTiff.h"
#include "HSgm.h"
#include "ImgData.h"
#include "ImgDatas.h"
#include "SgmGeometry.h"
#include "SinogramGenerator.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QTextStream>

#include <memory>

namespace {

struct Options {
    QStringList projections;
    QString i0File, bgFile, outDir;
    bool rotAxIsV = true;
    bool corGiven = false;
    double cor = 0.0;
    QList<int> slices;
    ReconFilter filter;
    bool tiff = false;
};

QTextStream &err()
{
    static QTextStream stream(stderr);
    return stream;
}

ImgDatas::Reader openReference(const QString &fileName)
{
    if (fileName.isEmpty())
        return nullptr;
    return openImgData(fileName);
}

bool parse(QCoreApplication &app, Options &options)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        "Reconstructs slices of a CT projection series (ITEX or TIFF, in angle order over half a turn)\n"
        "by filtered back-projection and writes each slice as an 8-bit PNG, slice_NNNNN.png.\n"
        "Values are the sum over projections of the filtered attenuation, as in the CT2 engine;\n"
        "with --quantitative, attenuation per pixel (padded exact Ram-Lak filter).");
    parser.addHelpOption();
    parser.addPositionalArgument("projections", "Projection images in angle order.", "FILE...");
    parser.addOption({"i0", "Incident-beam image (none: 1 everywhere).", "file"});
    parser.addOption({"bg", "Dark image (none: 0 everywhere).", "file"});
    parser.addOption({"cor", "Centre of rotation in detector pixels (default: detector centre).", "pixels"});
    parser.addOption({"slice", "Detector line to reconstruct; repeat for several (default: middle line).", "n"});
    parser.addOption({"horizontal", "The rotation axis is horizontal: slices are image columns."});
    parser.addOption({"quantitative", "Quantitative mode: slices in attenuation per pixel."});
    parser.addOption({"filter", "Window of the quantitative mode: ramlak, shepp-logan, cosine, hamming, hann.",
                      "window", "ramlak"});
    parser.addOption({"tiff", "Write each slice as a 32-bit float TIFF of its values, slice_NNNNN.tif."});
    parser.addOption({"out", "Folder for the PNG or TIFF files (created; default: current folder).", "dir", "."});
    parser.process(app);

    options.projections = parser.positionalArguments();
    if (options.projections.isEmpty()) {
        err() << "zorvel-recon: no projection files given (see --help)\n";
        return false;
    }
    options.i0File = parser.value("i0");
    options.bgFile = parser.value("bg");
    options.outDir = parser.value("out");
    options.tiff = parser.isSet("tiff");
    options.rotAxIsV = !parser.isSet("horizontal");
    options.corGiven = parser.isSet("cor");
    bool ok = true;
    if (options.corGiven)
        options.cor = parser.value("cor").toDouble(&ok);
    for (const QString &text : parser.values("slice")) {
        bool sliceOk = false;
        options.slices.append(text.toInt(&sliceOk));
        ok = ok && sliceOk;
    }
    if (!ok)
        err() << "zorvel-recon: --cor and --slice take numbers\n";
    options.filter.quantitative = parser.isSet("quantitative");
    if (!ReconFilter::windowFromName(parser.value("filter"), &options.filter.window)) {
        err() << "zorvel-recon: unknown --filter " << parser.value("filter") << "\n";
        ok = false;
    }
    return ok;
}

QImage render(const BpCore &core)
{
    const int n = core.imageSide();
    ColorScale scale;
    scale.minV = core.minValue();
    scale.maxV = core.maxValue();
    QImage picture(n, n, QImage::Format_Grayscale8);
    for (int z = 0; z < n; ++z) {
        uchar *line = picture.scanLine(z);
        for (int x = 0; x < n; ++x)
            line[x] = uchar(scale.colorIndex(core.imageAt(x, z)));
    }
    return picture;
}

bool writeSlice(const BpCore &core, const QString &file, bool tiff)
{
    if (!tiff)
        return DataSaver::writeImage({file, render(core)});
    const int n = core.imageSide();
    const QByteArray bytes = FloatTiff::encode(core.image(), n, n, n);
    return !bytes.isEmpty() && DataSaver::writeFile(file, bytes, "Failed to write the TIFF slice");
}

// Sinogram, transform, filter and back-projection of one slice, as a CT2 worker does it.
// Empty on success, else what went wrong.
QString reconstruct(const ImgDatas &series, const Options &options, double cor, int slice, BpCore &core)
{
    HSgm sinogram;
    if (!SinogramGenerator::genSinogram0(*series.snapshot(), &sinogram, options.rotAxIsV, cor, slice))
        return QString("slice %1 cannot be reconstructed with cor %2").arg(slice).arg(cor);
    const int n = (sinogram.w / 2) * 2;
    if (n < 2)
        return QString("slice %1 is empty: cor %2 leaves %3 detector pixel(s) around the axis")
            .arg(slice).arg(cor).arg(sinogram.w);
    if (!core.setupCore(n, sinogram.h, options.filter))
        return QString("not enough memory for slice %1").arg(slice);
    core.reconstructSlice(sinogram.sgm, sinogram.w, n, 0, n, 0, n);
    core.imageMinMax();
    return QString();
}

}

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    Options options;
    if (!parse(app, options))
        return 1;

    ImgDatas series;
    for (const QString &file : options.projections)
        if (!series.add(file)) {
            err() << "zorvel-recon: cannot use " << file << "\n";
            return 1;
        }
    const ImgDatas::Reader i0 = openReference(options.i0File);
    const ImgDatas::Reader bg = openReference(options.bgFile);
    if ((!options.i0File.isEmpty() && !i0) || (!options.bgFile.isEmpty() && !bg)) {
        err() << "zorvel-recon: cannot read the I0 or BG image\n";
        return 1;
    }
    series.setI0Link(&i0);
    series.setBgLink(&bg);

    const int across = options.rotAxIsV ? series.imageWidth() : series.imageHeight();
    const int along = options.rotAxIsV ? series.imageHeight() : series.imageWidth();
    const double cor = options.corGiven ? options.cor : (across - 1) / 2.0;
    QList<int> slices = options.slices;
    if (slices.isEmpty())
        slices.append(along / 2);
    if (!QDir().mkpath(options.outDir)) {
        err() << "zorvel-recon: cannot create " << options.outDir << "\n";
        return 1;
    }

    QTextStream out(stdout);
    BpCore core;
    for (int slice : slices) {
        QElapsedTimer timer;
        timer.start();
        const QString failure = reconstruct(series, options, cor, slice, core);
        if (!failure.isEmpty()) {
            err() << "zorvel-recon: " << failure << "\n";
            return 1;
        }
        const QString file = QDir(options.outDir).filePath(QString::asprintf("slice_%05d.%s", slice, options.tiff ? "tif" : "png"));
        if (!writeSlice(core, file, options.tiff)) {
            err() << "zorvel-recon: cannot write " << file << "\n";
            return 1;
        }
        out << file << ": " << core.imageSide() << "x" << core.imageSide() << " from " << series.count()
            << " projections, cor " << cor << ", min " << QString::number(core.minValue(), 'g', 6) << ", max "
            << QString::number(core.maxValue(), 'g', 6) << ", " << timer.elapsed() << " ms" << Qt::endl;
    }
    return 0;
}
