// The "XANES" tab on saved results of the two-phase model: computed on its worker, a picked
// pixel's spectrum and fit in the plots, a region's mean, the export read back, and a folder
// without results. With ZORVEL_SHOTS set, pictures of the tab are written there.

#include "ImgData.h"
#include "ImgDispWPV.h"
#include "Phantom.h"
#include "ResultFiles.h"
#include "XanesPanel.h"

#include <QChart>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineSeries>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>

namespace {

constexpr int kSide = 48;

// Three discs as the phantom places them: phase 0, phase 1 and the mixture.
double modelAt(int x, int z, double eV)
{
    const auto centres = Phantom::twoPhaseCentres(kSide);
    const double a = Phantom::phaseAbsorption(0, eV), b = Phantom::phaseAbsorption(1, eV);
    const double shares[3] = {a, b, Phantom::mixedShare * a + (1.0 - Phantom::mixedShare) * b};
    for (int d = 0; d < 3; ++d)
        if (std::hypot(x - 0.5 * (kSide - 1) - centres[size_t(d)].first, z - 0.5 * (kSide - 1) - centres[size_t(d)].second)
            < Phantom::twoPhaseRadius(kSide))
            return 0.005 + Phantom::phaseStep * shares[d];
    return 0.005;
}

// Data files and run records as a sequence saves them (slice 0 of every energy).
bool writeResults(const QString &folder)
{
    for (double eV : Phantom::xanesEnergies()) {
        const QString tag = Phantom::energyText(eV);
        std::vector<double> image(size_t(kSide * kSide));
        for (int z = 0; z < kSide; ++z)
            for (int x = 0; x < kSide; ++x)
                image[size_t(z * kSide + x)] = modelAt(x, z, eV);
        QFile data(QDir(folder).filePath("ct-" + tag + "-00000.dat"));
        const QJsonObject record{{"inputs", QJsonObject{{"data_set", tag}, {"data_set_energy_ev", eV}}},
                                 {"saving", QJsonObject{{"data", QJsonObject{{"on", true}, {"folder", folder}, {"name", "ct"}, {"tag", tag}}}}},
                                 {"slices", QJsonArray{QJsonObject{{"slice", 0}, {"outcome", "reconstructed"}}}}};
        QFile json(QDir(folder).filePath("ct-" + tag + "-record.json"));
        if (!data.open(QIODevice::WriteOnly) || !json.open(QIODevice::WriteOnly))
            return false;
        data.write(ResultFiles::dataText(image.data(), kSide, {0, 0, double(kSide), double(kSide)}));
        json.write(QJsonDocument(record).toJson());
    }
    for (int phase = 0; phase < 2; ++phase) {
        QFile ref(QDir(folder).filePath(QStringLiteral("phase%1.txt").arg(phase + 1)));
        if (!ref.open(QIODevice::WriteOnly))
            return false;
        for (double e = 7000.0; e <= 7400.0; e += 0.5)
            ref.write(QByteArray::number(e) + ' ' + QByteArray::number(Phantom::phaseAbsorption(phase, e), 'g', 12) + '\n');
    }
    return true;
}

QLineSeries *seriesNamed(QChart *chart, const QString &name)
{
    for (QAbstractSeries *s : chart->series())
        if (s->name() == name)
            return qobject_cast<QLineSeries *>(s);
    return nullptr;
}

void shoot(QWidget &widget, const QString &name)
{
    const QString folder = qEnvironmentVariable("ZORVEL_SHOTS");
    if (folder.isEmpty() || !QDir().mkpath(folder))
        return;
    QTest::qWait(300); // the charts' scenes are redrawn from the event loop
    widget.grab().save(QDir(folder).filePath(name));
}

} // namespace

class TstXanesPanel : public QObject
{
    Q_OBJECT

private slots:
    void mapsSpectraAndExport();
    void folderWithoutResults();
    void followsTheSequenceWithRegionReferences();
};

void TstXanesPanel::mapsSpectraAndExport()
{
    QTemporaryDir dir;
    QVERIFY(writeResults(dir.path()));
    XanesPanel panel;
    panel.resize(1400, 800);
    panel.show();
    panel.resultsFolder->setText(dir.path());
    panel.referenceFiles->setPlainText(dir.filePath("phase1.txt") + "\n" + dir.filePath("phase2.txt"));
    panel.fitMinField->setText("7090");
    panel.fitMaxField->setText("7200");
    panel.compute();
    QTRY_VERIFY_WITH_TIMEOUT(panel.shown() != nullptr, 20000);
    QVERIFY(panel.computeButton->isEnabled());
    QCOMPARE(panel.mapChoice->count(), 4 + 2 + 2 + 1);
    QCOMPARE(panel.energySlider->maximum(), int(Phantom::xanesEnergies().size()) - 1);

    // A pixel of the mixture: its spectrum with the lines, E0 and the fit of 30/70.
    panel.mapChoice->setCurrentIndex(1);
    const auto centres = Phantom::twoPhaseCentres(kSide);
    const int x = int(std::lround(0.5 * (kSide - 1) + centres[2].first)), z = int(std::lround(0.5 * (kSide - 1) + centres[2].second));
    panel.pick({x, z, x + 1, z + 1});
    for (const char *name : {"mu", "pre-edge", "post-edge"})
        QCOMPARE(seriesNamed(panel.rawChart(), name)->count(), int(Phantom::xanesEnergies().size()));
    QLineSeries *e0 = seriesNamed(panel.rawChart(), "E0");
    QVERIFY(e0 && e0->count() == 2 && e0->at(0).x() > 7122.0 && e0->at(0).x() < 7126.0);
    QLineSeries *fit = seriesNamed(panel.normalisedChart(), "fit");
    QVERIFY(fit && fit->count() == panel.shown()->fit.windowEnd() - panel.shown()->fit.windowBegin());
    const QString title = panel.normalisedChart()->title();
    const QRegularExpressionMatch shares = QRegularExpression("fractions ([0-9.]+), ([0-9.]+)").match(title);
    QVERIFY2(shares.hasMatch() && std::abs(shares.captured(1).toDouble() - Phantom::mixedShare) <= 0.03
                 && std::abs(shares.captured(2).toDouble() - (1.0 - Phantom::mixedShare)) <= 0.03,
             qPrintable(title));
    shoot(panel, "xanes-e0-mixed-pixel.png");

    // The map shown is the E0 map, drawn through the bar's range of its finite values.
    QVERIFY(panel.mapView()->CBar->minV() >= 7121.0 && panel.mapView()->CBar->maxV() <= 7127.0);
    QVERIFY(panel.mapView()->CBar->colorIndex(panel.shown()->maps.e0[size_t(z * kSide + x)]) > 0);

    panel.pick({x - 2, z - 2, x + 3, z + 3});
    QVERIFY(panel.rawChart()->title().contains("mean of"));
    QTemporaryDir out;
    QVERIFY(panel.exportTo(out.path()));
    QCOMPARE(QDir(out.path()).entryList({"*.tif"}, QDir::Files).size(), 8);
    const std::unique_ptr<ImgData> exported = openImgData(out.filePath("ct-xanes-00000-e0.tif"));
    QVERIFY(exported && exported->imageWidth() == kSide);
    std::vector<double> row(static_cast<size_t>(kSide));
    exported->line(z, row.data());
    QCOMPARE(float(row[size_t(x)]), panel.shown()->maps.e0[size_t(z * kSide + x)]);
    QFile csv(out.filePath("ct-xanes-00000-spectra.csv"));
    QVERIFY(csv.open(QIODevice::ReadOnly));
    QCOMPARE(csv.readAll().count('\n'), 1 + int(Phantom::xanesEnergies().size()));

    panel.mapChoice->setCurrentIndex(panel.mapChoice->count() - 1);
    panel.energySlider->setValue(20);
    QVERIFY(panel.energyLabel->text().startsWith(QString::number(Phantom::xanesEnergies()[20], 'f', 1)));
    shoot(panel, "xanes-energy-slice.png");
}

void TstXanesPanel::folderWithoutResults()
{
    QTemporaryDir empty;
    XanesPanel panel;
    panel.resultsFolder->setText(empty.path());
    panel.compute();
    QVERIFY(!panel.computeButton->isEnabled());
    QTRY_VERIFY_WITH_TIMEOUT(panel.computeButton->isEnabled(), 20000);
    QVERIFY(panel.shown() == nullptr);
    QVERIFY2(panel.statusLabel->text().startsWith("No record of saved data files"), qPrintable(panel.statusLabel->text()));
}

// The tab follows a sequence: nothing is mapped before 8 energies came in, then the slice from
// the planes handed over; references picked as regions of the pure discs give the mixture.
void TstXanesPanel::followsTheSequenceWithRegionReferences()
{
    XanesPanel panel;
    panel.sliceBox->setValue(0);
    QCOMPARE(panel.followedSlice(), -1);
    panel.followBox->setChecked(true);
    QCOMPARE(panel.followedSlice(), 0);
    SequenceStack planes;
    planes.watch(0, 0);
    const std::vector<double> energies = Phantom::xanesEnergies();
    QString why;
    for (size_t k = 0; k < energies.size(); ++k) {
        std::vector<float> values(size_t(kSide * kSide));
        for (int z = 0; z < kSide; ++z)
            for (int x = 0; x < kSide; ++x)
                values[size_t(z * kSide + x)] = float(modelAt(x, z, energies[k]));
        QVERIFY(planes.add(Phantom::energyText(energies[k]), energies[k], 0, {std::make_shared<const std::vector<float>>(values), kSide, kSide}, &why));
        panel.followSequence(std::make_shared<const SequenceStack>(planes));
        QCOMPARE(panel.computeButton->isEnabled(), k + 1 < size_t(SpectralStack::minEnergies));
        QTRY_VERIFY_WITH_TIMEOUT(panel.computeButton->isEnabled(), 20000);
    }
    QVERIFY(panel.shown() && panel.shown()->stack.energies() == energies && !panel.shown()->fitted);

    const auto centres = Phantom::twoPhaseCentres(kSide);
    const auto discPixel = [&centres](int d) {
        return std::pair{int(std::lround(0.5 * (kSide - 1) + centres[size_t(d)].first)), int(std::lround(0.5 * (kSide - 1) + centres[size_t(d)].second))};
    };
    for (int d = 0; d < 2; ++d) {
        const auto [x, z] = discPixel(d);
        panel.pick({x - 1, z - 1, x + 2, z + 2});
        panel.useAsReference();
    }
    QCOMPARE(panel.request().referenceRegions.size(), size_t(2));
    panel.compute();
    QTRY_VERIFY_WITH_TIMEOUT(panel.computeButton->isEnabled(), 20000);
    QVERIFY(panel.shown() && panel.shown()->fitted);
    const auto [x, z] = discPixel(2);
    const float share = panel.shown()->fitMaps.fractions[0][size_t(z * kSide + x)];
    QVERIFY2(std::abs(share - Phantom::mixedShare) <= 0.03, qPrintable(QString::number(share)));
}

QTEST_MAIN(TstXanesPanel)
#include "tst_xanespanel.moc"
