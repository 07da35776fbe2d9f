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

using Rows = std::vector<std::vector<double>>;

// The sinogram panel: full-turn display, Fourier view, typed centre of rotation,
// read-out, and the sinogram built from a series on request.
class TestSinogramPanel : public QObject
{
    Q_OBJECT
    Sinogram panel;

    // Raw intensities straight into the panel's record.
    void show(const Rows &rows)
    {
        HSgm &record = *panel.sinogram();
        record.resize(int(rows[0].size()), int(rows.size()));
        for (int i = 0; i < record.w * record.h; ++i)
            record.rawSgm[i] = rows[size_t(i / record.w)][size_t(i % record.w)];
        panel.genImage();
    }
    // Row r of the full turn: the measured rows, then the same rows mirrored.
    static double fullTurn(const Rows &rows, int r, int x)
    {
        const int h = int(rows.size());
        return r < h ? rows[size_t(r)][size_t(x)] : rows[size_t(r - h)][rows[0].size() - 1 - size_t(x)];
    }

private slots:
    void init()
    {
        panel.setGenFouS(false);
    }

    // Before any sinogram: no picture, no Fourier view, the colour bar left alone. Then
    // rows (1, 2, 3), (4, 5, 6) show as (1, 2, 3), (4, 5, 6), (3, 2, 1), (6, 5, 4).
    void fullTurnDisplay()
    {
        panel.setGenFouS(true);
        panel.DispSinogram->CBar->setRange(3, 4);
        panel.genImage();
        QVERIFY(panel.DispSinogram->img.isNull() && panel.DispFouS->img.isNull());
        QVERIFY(panel.DispSinogram->CBar->maxV() == 4 && panel.minValue() > panel.maxValue());
        for (QLineEdit *field : {panel.Cor, panel.DispSinogram->Val, panel.DispFouS->Val})
            QVERIFY(field->minimumWidth() > field->fontMetrics().horizontalAdvance("-1.23457e-05"));

        panel.setGenFouS(false);
        const Rows rows{{1, 2, 3}, {4, 5, 6}};
        show(rows);
        const QImage &shown = panel.DispSinogram->img;
        QCOMPARE(shown.size(), QSize(3, 4));
        for (int r = 0; r < 4; ++r)
            for (int x = 0; x < 3; ++x)
                QCOMPARE(int(shown.constScanLine(r)[x]), (ColorScale{1, 6}.colorIndex(fullTurn(rows, r, x))));
        QCOMPARE(panel.DispSinogram->CBar->minEdit()->text() + " " + panel.DispSinogram->CBar->maxEdit()->text(), QString("1 6"));
        QVERIFY(panel.DispFouS->img.isNull()); // "Gen Fou. Sinogram" is off
    }

    void fourierView_data()
    {
        QTest::addColumn<Rows>("rows");
        QTest::newRow("constant: the mean at (0, 0), 0 elsewhere") << Rows{{2.5, 2.5, 2.5, 2.5}, {2.5, 2.5, 2.5, 2.5}, {2.5, 2.5, 2.5, 2.5}};
        QTest::newRow("uneven") << Rows{{1, 7, 2, 3}, {4, -5, 9, 0}};
    }
    // Magnitudes against the transform by its definition, drawn through the view's own
    // range, -10 .. 10 unless fixed. Checking the box later adds the view.
    void fourierView()
    {
        QFETCH(Rows, rows);
        show(rows);
        panel.setGenFouS(true);
        panel.genFouSImage();
        const int w = int(rows[0].size());
        const int turn = 2 * int(rows.size());
        const std::vector<double> magnitude = FullTurnSinogram::fourierMagnitude(*panel.sinogram());
        QCOMPARE(int(magnitude.size()), w * turn);
        QCOMPARE(panel.DispFouS->img.size(), QSize(w, turn));
        for (int u = 0; u < turn; ++u)
            for (int v = 0; v < w; ++v) {
                std::complex<double> sum;
                for (int r = 0; r < turn; ++r)
                    for (int x = 0; x < w; ++x)
                        sum += fullTurn(rows, r, x) * std::polar(1.0, -2 * M_PI * (double(u) * r / turn + double(v) * x / w));
                const double m = magnitude[size_t(u * w + v)];
                QVERIFY(std::abs(m - std::abs(sum) / (w * turn)) <= 1e-12);
                QCOMPARE(int(panel.DispFouS->img.constScanLine(u)[v]), (ColorScale{-10, 10}.colorIndex(m)));
                const ColorScale rawScale{panel.minValue(), panel.maxValue()};
                QCOMPARE(int(panel.DispSinogram->img.constScanLine(u)[v]), rawScale.colorIndex(fullTurn(rows, u, v)));
            }
        QVERIFY(panel.DispFouS->scaleSet);
        // Its own colour bar draws the kept magnitudes again.
        panel.DispFouS->CBar->maxEdit()->setText("0.5");
        emit panel.DispFouS->CBar->maxEdit()->editingFinished();
        QCOMPARE(int(panel.DispFouS->img.constScanLine(0)[0]), ColorScale({-10, 0.5}).colorIndex(magnitude[0]));
        panel.DispFouS->img = QImage(); // a new sinogram brings its Fourier view along
        panel.genImage();
        QVERIFY(!panel.DispFouS->img.isNull());
    }

    void typedCentre_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<double>("cor");
        QTest::addColumn<int>("emitted");
        QTest::newRow("same value") << "1000.0" << 1000.0 << 0;
        QTest::newRow("new value") << "295.54321" << 295.54321 << 1;
        QTest::newRow("not a number") << "abc" << 0.0 << 1;
    }
    // The controls start at 1000, as the panel's field does.
    void typedCentre()
    {
        QFETCH(QString, typed);
        QFETCH(double, cor);
        QFETCH(int, emitted);
        ProcCtrl ctrl;
        Sinogram typing;
        typing.setProcCtrl(&ctrl);
        connect(&ctrl, &ProcCtrl::corUpdated, &typing, &Sinogram::corUpdated);
        QSignalSpy spy(&ctrl, &ProcCtrl::corUpdated);
        typing.Cor->setText(typed);
        emit typing.Cor->editingFinished();
        QCOMPARE(spy.count(), emitted);
        QVERIFY(std::abs(ctrl.cor - cor) <= 1e-12);
        QCOMPARE(ctrl.Cor->text(), QString::number(cor, 'g', 6));
        QCOMPARE(typing.Cor->text(), emitted ? ctrl.Cor->text() : typed);
    }

    void readOut_data()
    {
        QTest::addColumn<double>("x");
        QTest::addColumn<double>("y");
        QTest::addColumn<QString>("shown");
        QTest::newRow("measured half") << 2.9 << 1.2 << "6";
        QTest::newRow("row h + 1, column 0: row 1, not mirrored") << 0.0 << 3.99 << "4";
        QTest::newRow("below") << 0.0 << 4.0 << "-";
        QTest::newRow("left, truncated to 0") << -0.5 << 0.0 << "1";
        QTest::newRow("right") << 3.0 << 0.0 << "-";
        QTest::newRow("NaN") << std::nan("") << 0.0 << "-";
    }
    void readOut()
    {
        QFETCH(double, x);
        QFETCH(double, y);
        QFETCH(QString, shown);
        panel.sinogram()->resize(0, 0);
        panel.DispSinogram->Val->setText("-");
        panel.newPos(0, 0); // nothing built
        show({{1, 2, 3}, {4, 5, 6}});
        emit panel.DispSinogram->newPosInvY(x, y);
        QCOMPARE(panel.DispSinogram->Val->text(), shown);
    }

    // 3 projections 8 x 4, pixel 100 + 10 j + x: slice 2 around centre 4 is columns 2 .. 6.
    // "Gen Image" builds it whatever AutoUpdate says; the auto-update slots only when checked.
    void buildsFromTheSeries()
    {
        QTemporaryDir dir;
        ImgDatas series;
        for (int j = 0; j < 3; ++j) {
            std::vector<quint32> pixels(32);
            for (int i = 0; i < 32; ++i)
                pixels[size_t(i)] = quint32(100 + 10 * j + i % 8);
            const QString name = dir.filePath(QString("p%1.img").arg(j));
            QVERIFY(ItexWriter::write(name, 8, 4, 4, pixels) && series.add(name));
        }
        ProcCtrl ctrl;
        ctrl.RotAxV->click();
        ctrl.setSliceNo(2);
        ctrl.setCor(4.0);
        ctrl.AutoUpdate->setChecked(false);
        Sinogram built;
        HSgm record; // of a worker
        QVERIFY(!built.genSinogram0(&record, true, 4.0, 2) && !built.genSinogram()); // no image set, no controls
        built.setImgDatas(&series);
        built.setProcCtrl(&ctrl);

        for (auto slot : {&Sinogram::rotAxUpdated, &Sinogram::sliceNoUpdated, &Sinogram::autoUpdateUpdated, &Sinogram::genSgmImage, &Sinogram::corUpdated})
            (built.*slot)();
        QCOMPARE(QList<int>({built.sinogram()->h, built.Cor->text().toInt()}), QList<int>({0, 4}));
        built.GenImg->click();
        QCOMPARE(QList<int>({built.sinogram()->w, built.sinogram()->h, built.DispSinogram->img.height()}), QList<int>({5, 3, 6}));
        QCOMPARE(QList<double>({built.minValue(), built.maxValue()}), QList<double>({102, 126}));
        ctrl.setCor(2.0);
        ctrl.AutoUpdate->setChecked(true);
        built.autoUpdateUpdated();
        QCOMPARE(QList<int>({built.sinogram()->w, built.DispSinogram->img.width()}), QList<int>({3, 3}));
    }
};

QTEST_MAIN(TestSinogramPanel)
#include "tst_sinogrampanel.moc"
