#include "XanesPanel.h"

#include "ColorBar.h"
#include "DataSaver.h"
#include "FileDialogs.h"
#include "FloatTiffWriter.h"
#include "GreyImage.h"
#include "ImgDispWPV.h"
#include "XanesWorker.h"

#include <QChart>
#include <QChartView>
#include <QDebug>
#include <QDir>
#include <QFileDialog>
#include <QLineSeries>
#include <QRegularExpression>
#include <QScrollArea>
#include <QValueAxis>
#include <QVBoxLayout>

#include <cmath>
#include <limits>
#include <utility>

namespace {

// "region X0 Z0 X1 Z1" (four integers) names a region of the slice as a reference.
bool regionLine(const QString &line, XanesRegion *region)
{
    static const QRegularExpression pattern(QStringLiteral("^region\\s+(-?\\d{1,9})\\s+(-?\\d{1,9})\\s+(-?\\d{1,9})\\s+(-?\\d{1,9})$"));
    const QRegularExpressionMatch match = pattern.match(line);
    if (match.hasMatch())
        *region = {match.captured(1).toInt(), match.captured(2).toInt(), match.captured(3).toInt(), match.captured(4).toInt()};
    return match.hasMatch();
}

double fieldReal(const QLineEdit *field, double otherwise)
{
    bool ok = false;
    const double v = field->text().trimmed().toDouble(&ok);
    return ok && std::isfinite(v) ? v : otherwise;
}

QLineSeries *lineOf(const QString &name, const std::vector<double> &x, const std::vector<double> &y, size_t from = 0)
{
    auto *series = new QLineSeries;
    series->setName(name);
    for (size_t i = 0; i + from < x.size() && i < y.size(); ++i)
        if (std::isfinite(y[i]))
            series->append(x[i + from], y[i]);
    return series;
}

// A chart in its view, filling the holder's layout.
QChart *addChart(QLayout *layout, const QString &title)
{
    auto *chart = new QChart;
    chart->setTitle(title);
    auto *chartView = new QChartView(chart);
    chartView->setRenderHint(QPainter::Antialiasing);
    layout->addWidget(chartView);
    return chart;
}

void replaceSeries(QChart *chart, const QList<QAbstractSeries *> &series)
{
    chart->removeAllSeries();
    for (QAbstractAxis *axis : chart->axes()) {
        chart->removeAxis(axis); // the chart gives the axis back to us: without the delete it leaks
        delete axis;
    }
    for (QAbstractSeries *s : series)
        chart->addSeries(s);
    chart->createDefaultAxes();
}

} // namespace

XanesPanel::XanesPanel(QWidget *parent) : QWidget(parent), view(new ImgDispWPV)
{
    setupUi(this);
    (new QVBoxLayout(mapHolder))->addWidget(view);
    view->setKeepAspectRatio(true); // maps are slices: square pixels
    auto *charts = new QVBoxLayout(chartHolder);
    raw = addChart(charts, tr("Spectrum"));
    normalised = addChart(charts, tr("Normalised"));
    XanesWorker::registerTypes();
    worker = new XanesWorker;
    worker->moveToThread(&thread);
    connect(&thread, &QThread::finished, worker, &QObject::deleteLater);
    connect(this, &XanesPanel::computeRequested, worker, &XanesWorker::compute, Qt::QueuedConnection);
    connect(worker, &XanesWorker::computed, this, [this](const Handed<XanesAnswer> &answer) { showResult(answer.get().slice, answer.get().why); },
            Qt::QueuedConnection);
    thread.setObjectName(QStringLiteral("xanes panel"));
    thread.start();

    connect(computeButton, &QPushButton::clicked, this, &XanesPanel::compute);
    connect(exportButton, &QPushButton::clicked, this, &XanesPanel::exportClicked);
    connect(referenceButton, &QPushButton::clicked, this, &XanesPanel::useAsReference);
    connect(mapChoice, &QComboBox::currentIndexChanged, this, &XanesPanel::showMap);
    connect(energySlider, &QSlider::valueChanged, this, &XanesPanel::showMap);
    connect(view, &ImgDispWCBar::newBar, this, &XanesPanel::showMap);
    connect(view, &ImgDisp::selectedAPoint, this, [this](double x, double z, MouseC::MStat) { pickedPoint(x, z); });
    connect(view, &ImgDispWPV::newPosInvY, this, [this](double x, double z) {
        const int ix = int(std::floor(x)), iz = int(std::floor(z));
        if (result && ix >= 0 && iz >= 0 && ix < result->stack.width() && iz < result->stack.height())
            view->setVal(shownValues[size_t(iz) * size_t(result->stack.width()) + size_t(ix)]);
    });
    // Only the end of a Shift-drag is a region: a click after it picks a pixel.
    connect(view, &ImgDisp::selectedARect, this, &XanesPanel::selected);
}

QWidget *XanesPanel::scrollingPage()
{
    auto *page = new QScrollArea;
    page->setWidgetResizable(true);
    page->setFrameShape(QFrame::NoFrame);
    page->setWidget(new XanesPanel);
    return page;
}

XanesPanel::~XanesPanel()
{
    thread.quit();
    thread.wait();
}

XanesRequest XanesPanel::request() const
{
    XanesRequest r;
    r.resultsFolder = resultsFolder->text();
    r.name = dataName->text();
    r.sliceFrom = r.sliceTo = sliceBox->value();
    r.settings.e0 = fieldReal(e0Field, 0.0);
    r.settings.pre1 = fieldReal(pre1Field, r.settings.pre1);
    r.settings.pre2 = fieldReal(pre2Field, r.settings.pre2);
    r.settings.norm1 = fieldReal(norm1Field, r.settings.norm1);
    r.settings.norm2 = fieldReal(norm2Field, r.settings.norm2);
    r.settings.postDegree = degreeBox->value();
    r.settings.stepThreshold = fieldReal(thresholdField, -1.0);
    r.fit.emin = fieldReal(fitMinField, 0.0);
    r.fit.emax = fieldReal(fitMaxField, 0.0);
    r.fit.sumToOne = sumToOne->isChecked();
    r.align = alignBox->isChecked();
    for (const QString &text : referenceFiles->toPlainText().split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const QString line = text.trimmed();
        XanesRegion region;
        if (regionLine(line, &region))
            r.referenceRegions.push_back(region);
        else if (!line.isEmpty())
            r.referenceFiles.append(line);
    }
    r.fromSequence = followBox->isChecked();
    if (r.fromSequence)
        r.sequence = sequence;
    return r;
}

int XanesPanel::followedSlice() const
{
    return followBox->isChecked() ? sliceBox->value() : -1;
}

void XanesPanel::followSequence(std::shared_ptr<const SequenceStack> planes)
{
    sequence = std::move(planes);
    if (!followBox->isChecked() || !sequence || sequence->energies(sliceBox->value()).size() < size_t(SpectralStack::minEnergies))
        return;
    if (computing)
        followPending = true;
    else
        compute();
}

void XanesPanel::useAsReference()
{
    referenceFiles->appendPlainText(QStringLiteral("region %1 %2 %3 %4").arg(picked.x0).arg(picked.z0).arg(picked.x1).arg(picked.z1));
}

void XanesPanel::compute()
{
    computing = true;
    computeButton->setEnabled(false);
    statusLabel->setText(tr("Computing slice %1 ...").arg(sliceBox->value()));
    emit computeRequested(request(), sliceBox->value());
}

void XanesPanel::showResult(std::shared_ptr<const XanesSlice> slice, QString why)
{
    computing = false;
    computeButton->setEnabled(true);
    if (std::exchange(followPending, false))
        compute();
    if (!slice) {
        statusLabel->setText(why);
        return;
    }
    result = std::move(slice);
    const QString current = mapChoice->currentText();
    mapChoice->blockSignals(true);
    mapChoice->clear();
    mapChoice->addItems({tr("Edge step"), tr("E0"), tr("White-line energy"), tr("White-line height")});
    for (size_t r = 0; r < result->fitMaps.fractions.size(); ++r)
        mapChoice->addItem(tr("Fraction %1").arg(r + 1));
    if (result->fitted)
        mapChoice->addItems({tr("R-factor"), tr("Residual")});
    mapChoice->addItem(tr("Energy slice"));
    mapChoice->setCurrentIndex(std::max(0, mapChoice->findText(current)));
    mapChoice->blockSignals(false);
    energySlider->setRange(0, result->stack.count() - 1);
    statusLabel->setText(tr("Slice %1: %2 energies, %3 pixels masked (edge step below %4)")
                             .arg(result->slice)
                             .arg(result->stack.count())
                             .arg(result->maps.maskedCount)
                             .arg(result->maps.threshold, 0, 'g', 3));
    showMap();
    pick({result->stack.width() / 2, result->stack.height() / 2, result->stack.width() / 2 + 1, result->stack.height() / 2 + 1});
}

const std::vector<float> *XanesPanel::chosenMap(std::vector<float> &energyPlane) const
{
    const XanesMaps &m = result->maps;
    const int index = mapChoice->currentIndex();
    const std::vector<const std::vector<float> *> fixed{&m.edgeStep, &m.e0, &m.whiteLineEnergy, &m.whiteLineHeight};
    if (index >= 0 && index < int(fixed.size()))
        return fixed[size_t(index)];
    const int fraction = index - int(fixed.size());
    const int fractions = int(result->fitMaps.fractions.size());
    if (fraction >= 0 && fraction < fractions)
        return &result->fitMaps.fractions[size_t(fraction)];
    if (result->fitted && fraction == fractions)
        return &result->fitMaps.rFactor;
    if (result->fitted && fraction == fractions + 1)
        return &result->fitMaps.residual;
    energyPlane = result->stack.plane(energySlider->value());
    return &energyPlane;
}

void XanesPanel::showMap()
{
    if (!result)
        return;
    const double energy = result->stack.energies()[size_t(energySlider->value())];
    energyLabel->setText(tr("%1 eV").arg(energy, 0, 'f', 1));
    std::vector<float> energyPlane;
    const std::vector<float> &map = *chosenMap(energyPlane);
    double low = std::numeric_limits<double>::infinity(), high = -low;
    for (float v : map)
        if (std::isfinite(v))
            low = std::min(low, double(v)), high = std::max(high, double(v));
    // The bar starts a little below the lowest value, so that it stays apart from the masked
    // (NaN) pixels, which are drawn black.
    if (!view->CBar->isFixed() && low < high)
        view->CBar->autoRange(low - 0.1 * (high - low), high);
    shownValues.assign(map.begin(), map.end());
    view->img = greyImage(shownValues.data(), result->stack.width(), result->stack.height(), view->CBar->colorScale());
    view->newImage();
}

void XanesPanel::pickedPoint(double x, double z)
{
    pick({int(std::floor(x)), int(std::floor(z)), int(std::floor(x)) + 1, int(std::floor(z)) + 1});
}

void XanesPanel::selected(QRectF selection)
{
    const QRect pixels = selection.toAlignedRect();
    pick({pixels.left(), pixels.top(), pixels.right() + 1, pixels.bottom() + 1});
}

void XanesPanel::pick(const XanesRegion &region)
{
    picked = region;
    plotSpectrum();
}

void XanesPanel::plotSpectrum()
{
    if (!result)
        return;
    const std::vector<double> &energies = result->stack.energies();
    const XanesCurve curve = result->normalize->curve(XanesJob::regionSpectrum(result->stack, picked));
    const QString where = picked.x1 - picked.x0 == 1 && picked.z1 - picked.z0 == 1
                              ? tr("pixel %1, %2").arg(picked.x0).arg(picked.z0)
                              : tr("mean of %1, %2 .. %3, %4").arg(picked.x0).arg(picked.z0).arg(picked.x1 - 1).arg(picked.z1 - 1);
    raw->setTitle(curve.valid ? tr("Spectrum, %1: E0 %2 eV, edge step %3").arg(where).arg(curve.pixel.e0, 0, 'f', 2).arg(curve.pixel.edgeStep, 0, 'g', 4)
                              : tr("Spectrum, %1: not normalised").arg(where));
    QList<QAbstractSeries *> rawSeries{lineOf(tr("mu"), energies, curve.mu)};
    QList<QAbstractSeries *> normSeries;
    if (curve.valid) {
        rawSeries << lineOf(tr("pre-edge"), energies, curve.pre) << lineOf(tr("post-edge"), energies, curve.post);
        double low = curve.mu.front(), high = low;
        for (double v : curve.mu)
            low = std::min(low, v), high = std::max(high, v);
        rawSeries << lineOf(tr("E0"), {curve.pixel.e0, curve.pixel.e0}, {low, high});
        normSeries << lineOf(tr("normalised"), energies, curve.normalised);
        if (result->fitted) {
            const XanesFit &fit = result->fit;
            const std::vector<double> y(curve.normalised.begin() + fit.windowBegin(), curve.normalised.begin() + fit.windowEnd());
            const XanesPixelFit f = fit.fit(y.data());
            QStringList shares;
            for (int r = 0; r < fit.referenceCount(); ++r)
                shares << QString::number(f.fractions[r], 'f', 3);
            normalised->setTitle(tr("Normalised and fit: fractions %1, R %2").arg(shares.join(QStringLiteral(", "))).arg(f.rFactor, 0, 'g', 3));
            normSeries << lineOf(tr("fit"), energies, fit.curve(f), size_t(fit.windowBegin()));
        } else {
            normalised->setTitle(tr("Normalised"));
        }
    }
    replaceSeries(raw, rawSeries);
    replaceSeries(normalised, normSeries);
}

bool XanesPanel::exportTo(const QString &folder) const
{
    if (!result || !QDir().mkpath(folder))
        return false;
    XanesRequest r = request();
    r.outFolder = folder;
    const int w = result->stack.width(), h = result->stack.height();
    const auto write = [&](const QString &map, const std::vector<float> &values) {
        return FloatTiffWriter::write(XanesJob::mapFile(r, result->slice, map), w, h, values.data());
    };
    bool ok = write(QStringLiteral("edge_step"), result->maps.edgeStep) & write(QStringLiteral("e0"), result->maps.e0)
              & write(QStringLiteral("white_line_energy"), result->maps.whiteLineEnergy)
              & write(QStringLiteral("white_line_height"), result->maps.whiteLineHeight);
    for (size_t k = 0; k < result->fitMaps.fractions.size(); ++k)
        ok &= write(QStringLiteral("fraction_%1").arg(k + 1), result->fitMaps.fractions[k]);
    if (result->fitted)
        ok &= write(QStringLiteral("r_factor"), result->fitMaps.rFactor) & write(QStringLiteral("residual"), result->fitMaps.residual);
    const QByteArray csv = XanesJob::spectraCsv(result->stack, *result->normalize, result->fitted ? &result->fit : nullptr, {picked});
    return DataSaver::writeFile(XanesJob::mapFile(r, result->slice, QStringLiteral("spectra"), QStringLiteral("csv")), csv,
                                "Failed to write the spectra")
           && ok;
}

void XanesPanel::exportClicked()
{
    if (!exportDialog) {
        exportDialog = new QFileDialog(this, tr("Export the maps into"));
        FileDialogs::setUp(*exportDialog);
        exportDialog->setFileMode(QFileDialog::Directory);
        exportDialog->setOption(QFileDialog::ShowDirsOnly);
        connect(exportDialog, &QFileDialog::fileSelected, this, [this](const QString &folder) {
            statusLabel->setText(exportTo(folder) ? tr("Exported into %1").arg(folder) : tr("Export into %1 incomplete").arg(folder));
        });
    }
    FileDialogs::open(*exportDialog, resultsFolder->text());
}
