#include "ColorBar.h"
#include "FullTurnSinogram.h"
#include "ImgDatas.h"
#include "ItexWriter.h"
#include "ProcCtrl.h"
#include "Sinogram.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <complex>
#include <vector>

namespace {

// Puts rows of raw intensities into a record (the attenuation is not looked at here).
void fill(HSgm &record, const std::vector<std::vector<double>> &rows)
{
    record.resize(int(rows.front().size()), int(rows.size()));
    for (int j = 0; j < record.h; ++j)
        for (int x = 0; x < record.w; ++x)
            record.rawSgm[j * record.w + x] = record.sgm[j * record.w + x] = rows[size_t(j)][size_t(x)];
}

QList<int> pixelRow(const QImage &image, int y)
{
    QList<int> row;
    for (int x = 0; x < image.width(); ++x)
        row << image.constScanLine(y)[x];
    return row;
}

// |DFT| of the full-turn picture (h rows, then the rows mirrored) by the definition,
// scaled by 1/(2wh).
double directMagnitude(const std::vector<std::vector<double>> &rows, int u, int v)
{
    const int h = int(rows.size());
    const int w = int(rows.front().size());
    std::complex<double> sum;
    for (int r = 0; r < 2 * h; ++r)
        for (int x = 0; x < w; ++x) {
            const double value = r < h ? rows[size_t(r)][size_t(x)] : rows[size_t(r - h)][size_t(w - 1 - x)];
            sum += value * std::polar(1.0, -2.0 * M_PI * (double(u) * r / (2 * h) + double(v) * x / w));
        }
    return std::abs(sum) / (2.0 * w * h);
}

} // namespace

// The sinogram panel: full-turn display, Fourier view, typed centre of rotation,
// read-out, and the sinogram built from a series on request.
class TestSinogramPanel : public QObject
{
    Q_OBJECT
private slots:
    void fullTurnDisplay();
    void fourierView_data();
    void fourierView();
    void typedCentre_data();
    void typedCentre();
    void readOut_data();
    void readOut();
    void buildsFromTheSeries();
    void emptyRecord();
};

// Rows (1, 2, 3), (4, 5, 6) show as (1, 2, 3), (4, 5, 6), (3, 2, 1), (6, 5, 4).
void TestSinogramPanel::fullTurnDisplay()
{
    Sinogram panel;
    fill(*panel.sinogram(), {{1, 2, 3}, {4, 5, 6}});
    panel.genImage();
    const ColorScale scale{1.0, 6.0};
    const auto grey = [&](std::initializer_list<double> values) {
        QList<int> row;
        for (double v : values)
            row << scale.colorIndex(v);
        return row;
    };
    const QImage &shown = panel.DispSinogram->img;
    QCOMPARE(shown.size(), QSize(3, 4));
    QCOMPARE(pixelRow(shown, 0), grey({1, 2, 3}));
    QCOMPARE(pixelRow(shown, 1), grey({4, 5, 6}));
    QCOMPARE(pixelRow(shown, 2), grey({3, 2, 1}));
    QCOMPARE(pixelRow(shown, 3), grey({6, 5, 4}));
    QCOMPARE(panel.DispSinogram->CBar->minEdit()->text() + " " + panel.DispSinogram->CBar->maxEdit()->text(),
             QString("1 6"));
    QVERIFY(panel.DispFouS->img.isNull()); // "Gen Fou. Sinogram" is off

    // A fixed scale keeps its range; the data range is still recorded.
    panel.DispSinogram->CBar->setFixColorScale(true);
    fill(*panel.sinogram(), {{10, 20, 30}});
    panel.genImage();
    QCOMPARE(panel.DispSinogram->CBar->maxV(), 6.0);
    QCOMPARE(QList<double>({panel.minValue(), panel.maxValue()}), QList<double>({10, 30}));
    QCOMPARE(pixelRow(panel.DispSinogram->img, 1), grey({30, 20, 10}));
}

void TestSinogramPanel::fourierView_data()
{
    QTest::addColumn<std::vector<std::vector<double>>>("rows");
    QTest::newRow("constant") << std::vector<std::vector<double>>{{2.5, 2.5, 2.5, 2.5}, {2.5, 2.5, 2.5, 2.5}, {2.5, 2.5, 2.5, 2.5}};
    QTest::newRow("uneven") << std::vector<std::vector<double>>{{1, 7, 2}, {4, -5, 9}};
    QTest::newRow("one sample") << std::vector<std::vector<double>>{{3}};
}

// The view's magnitudes against the transform by its definition; the picture is drawn
// through the view's own range, -10 .. 10 unless fixed.
void TestSinogramPanel::fourierView()
{
    QFETCH(std::vector<std::vector<double>>, rows);
    Sinogram panel;
    fill(*panel.sinogram(), rows);
    panel.genImage();
    QVERIFY(panel.DispFouS->img.isNull());
    panel.setGenFouS(true);
    panel.genFouSImage();

    const HSgm &record = *panel.sinogram();
    const std::vector<double> magnitude = FullTurnSinogram::fourierMagnitude(record);
    QCOMPARE(int(magnitude.size()), 2 * record.w * record.h);
    const ColorScale scale{-10.0, 10.0};
    QCOMPARE(panel.DispFouS->img.size(), QSize(record.w, 2 * record.h));
    for (int u = 0; u < 2 * record.h; ++u)
        for (int v = 0; v < record.w; ++v) {
            const double m = magnitude[size_t(u * record.w + v)];
            QVERIFY2(std::abs(m - directMagnitude(rows, u, v)) <= 1e-12, qPrintable(QString("%1 %2").arg(u).arg(v)));
            QCOMPARE(qGray(panel.DispFouS->img.pixel(v, u)), scale.colorIndex(m));
        }
    QCOMPARE(panel.DispFouS->CBar->minEdit()->text() + " " + panel.DispFouS->CBar->maxEdit()->text(),
             QString("-10 10"));
    if (QTest::currentDataTag() == QByteArray("constant"))
        QVERIFY(std::abs(magnitude[0] - 2.5) <= 1e-12);

    // Its own colour bar redraws the kept magnitudes.
    panel.DispFouS->CBar->maxEdit()->setText("0.5");
    emit panel.DispFouS->CBar->maxEdit()->editingFinished();
    QCOMPARE(qGray(panel.DispFouS->img.pixel(0, 0)), ColorScale({-10.0, 0.5}).colorIndex(magnitude[0]));
}

void TestSinogramPanel::typedCentre_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<double>("cor");
    QTest::addColumn<int>("emitted");
    QTest::newRow("same value") << "1000.0" << 1000.0 << 0;
    QTest::newRow("new value") << "295.54321" << 295.54321 << 1;
    QTest::newRow("not a number") << "abc" << 0.0 << 1;
}

// The controls start at 1000, as the panel's field does.
void TestSinogramPanel::typedCentre()
{
    QFETCH(QString, typed);
    QFETCH(double, cor);
    QFETCH(int, emitted);
    ProcCtrl ctrl;
    Sinogram panel;
    panel.setProcCtrl(&ctrl);
    connect(&ctrl, &ProcCtrl::corUpdated, &panel, &Sinogram::corUpdated);
    QSignalSpy spy(&ctrl, &ProcCtrl::corUpdated);
    panel.Cor->setText(typed);
    emit panel.Cor->editingFinished();
    QCOMPARE(spy.count(), emitted);
    QVERIFY(std::abs(ctrl.cor - cor) <= 1e-12);
    QCOMPARE(ctrl.Cor->text(), QString::number(cor, 'g', 6));
    QCOMPARE(panel.Cor->text(), emitted ? ctrl.Cor->text() : typed);
}

void TestSinogramPanel::readOut_data()
{
    QTest::addColumn<double>("x");
    QTest::addColumn<double>("y");
    QTest::addColumn<QString>("shown");
    QTest::newRow("measured half") << 2.9 << 1.2 << "6";
    QTest::newRow("row h + 1, column 0: row 1, not mirrored") << 0.0 << 3.0 << "4";
    QTest::newRow("last row") << 1.0 << 3.99 << "5";
    QTest::newRow("below the picture") << 0.0 << 4.0 << "-";
    QTest::newRow("right of it") << 3.0 << 0.0 << "-";
    QTest::newRow("left of it, truncated to 0") << -0.5 << 0.0 << "1";
    QTest::newRow("left of it") << -1.0 << 0.0 << "-";
    QTest::newRow("above it") << 0.0 << -1.0 << "-";
    QTest::newRow("NaN") << std::nan("") << 0.0 << "-";
    QTest::newRow("huge") << 1e300 << 0.0 << "-";
}

void TestSinogramPanel::readOut()
{
    QFETCH(double, x);
    QFETCH(double, y);
    QFETCH(QString, shown);
    Sinogram panel;
    panel.DispSinogram->Val->setText("-");
    panel.newPos(0, 0); // nothing built yet
    QCOMPARE(panel.DispSinogram->Val->text(), QString("-"));
    fill(*panel.sinogram(), {{1, 2, 3}, {4, 5, 6}});
    emit panel.DispSinogram->newPosInvY(x, y);
    QCOMPARE(panel.DispSinogram->Val->text(), shown);
}

// A series of 3 projections 8 x 4, pixel 100 + 10 j + x: slice 2 around centre 4 is
// columns 2 .. 6 of each projection. "Gen Image" builds it whatever AutoUpdate says;
// the auto-update slots only when it is checked.
void TestSinogramPanel::buildsFromTheSeries()
{
    QTemporaryDir dir;
    ImgDatas series;
    for (int j = 0; j < 3; ++j) {
        std::vector<quint32> pixels(32);
        for (int i = 0; i < 32; ++i)
            pixels[size_t(i)] = quint32(100 + 10 * j + i % 8);
        QVERIFY(ItexWriter::write(dir.filePath(QString("p%1.img").arg(j)), 8, 4, 4, pixels));
        QVERIFY(series.add(dir.filePath(QString("p%1.img").arg(j))));
    }
    ProcCtrl ctrl;
    ctrl.RotAxV->click();
    ctrl.setSliceNo(2);
    ctrl.AutoUpdate->setChecked(false);
    Sinogram panel;
    HSgm record;
    QVERIFY(!panel.genSinogram0(&record, true, 4.0, 2)); // no image set
    QVERIFY(!panel.genSinogram());                       // no controls
    panel.setImgDatas(&series);
    panel.setProcCtrl(&ctrl);
    QVERIFY(panel.genSinogram0(&record, true, 4.0, 2));
    QCOMPARE(QList<int>({record.w, record.h, int(record.rawSgm[7]), int(record.rawSgm[14])}),
             QList<int>({5, 3, 114, 126}));

    ctrl.setCor(4.0);
    panel.rotAxUpdated();
    panel.sliceNoUpdated();
    panel.autoUpdateUpdated();
    panel.genSgmImage();
    panel.corUpdated();
    QCOMPARE(panel.sinogram()->h, 0);
    QCOMPARE(panel.Cor->text(), QString("4"));
    panel.GenImg->click();
    QCOMPARE(QList<int>({panel.sinogram()->w, panel.sinogram()->h, panel.DispSinogram->img.height()}),
             QList<int>({5, 3, 6}));
    QCOMPARE(QList<double>({panel.minValue(), panel.maxValue()}), QList<double>({102, 126}));

    ctrl.setCor(2.0);
    QVERIFY(!ctrl.AutoUpdate->isChecked());
    panel.genSgmImage();
    QCOMPARE(panel.sinogram()->w, 5);
    ctrl.AutoUpdate->setChecked(true);
    panel.autoUpdateUpdated();
    QCOMPARE(QList<int>({panel.sinogram()->w, panel.DispSinogram->img.width()}), QList<int>({3, 3}));
}

// Before any sinogram: an empty picture, no Fourier view, the colour bar left alone.
void TestSinogramPanel::emptyRecord()
{
    Sinogram panel;
    panel.setGenFouS(true);
    panel.DispSinogram->CBar->setRange(3, 4);
    panel.genImage();
    QVERIFY(panel.DispSinogram->img.isNull());
    QVERIFY(panel.DispFouS->img.isNull());
    QCOMPARE(panel.DispSinogram->CBar->maxEdit()->text(), QString("4"));
    QVERIFY(panel.minValue() > panel.maxValue());
    // The read-outs and the centre hold the widest number they can show.
    for (QLineEdit *field : {panel.Cor, panel.DispSinogram->Val, panel.DispFouS->Val})
        QVERIFY(field->minimumWidth() > field->fontMetrics().horizontalAdvance("-1.23457e-05"));
}

QTEST_MAIN(TestSinogramPanel)
#include "tst_sinogrampanel.moc"
