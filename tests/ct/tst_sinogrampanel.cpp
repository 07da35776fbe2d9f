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

// The sinogram panel: full-turn and Fourier views, typed centre, read-out, building.
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
    void views_data()
    {
        QTest::addColumn<Rows>("rows");
        QTest::addColumn<QList<double>>("range");
        QTest::newRow("constant: the mean at (0, 0), 0 elsewhere") << Rows{{2.5, 2.5, 2.5, 2.5}, {2.5, 2.5, 2.5, 2.5}, {2.5, 2.5, 2.5, 2.5}} << QList<double>{2.5, 2.5};
        QTest::newRow("uneven") << Rows{{1, 7, 2, 3}, {4, -5, 9, 0}} << QList<double>{-5, 9};
    }
    // Before any sinogram: no pictures, the colour bar left alone. Then the full turn (the
    // rows, then the rows mirrored) through the sinogram's own range, and the Fourier
    // magnitudes against the transform by its definition through -10 .. 10 unless fixed.
    void views()
    {
        QFETCH(Rows, rows);
        QFETCH(QList<double>, range);
        panel.sinogram()->resize(0, 0);
        panel.DispSinogram->img = panel.DispFouS->img = QImage();
        panel.setGenFouS(true);
        panel.DispSinogram->CBar->setRange(3, 4);
        panel.genImage();
        QVERIFY(panel.DispSinogram->img.isNull() && panel.DispFouS->img.isNull());
        QVERIFY(panel.DispSinogram->CBar->maxV() == 4 && panel.minValue() > panel.maxValue());
        for (QLineEdit *field : {panel.Cor, panel.DispSinogram->Val, panel.DispFouS->Val})
            QVERIFY(field->minimumWidth() > field->fontMetrics().horizontalAdvance("-1.23457e-05"));
        panel.setGenFouS(false);
        show(rows);
        QVERIFY(panel.DispFouS->img.isNull()); // "Gen Fou. Sinogram" is off
        panel.setGenFouS(true); // checking it later adds the view
        panel.genFouSImage();
        const int w = int(rows[0].size()), turn = 2 * int(rows.size());
        const std::vector<double> magnitude = FullTurnSinogram::fourierMagnitude(*panel.sinogram());
        QVERIFY(int(magnitude.size()) == w * turn && panel.DispFouS->img.size() == QSize(w, turn) && panel.DispSinogram->img.size() == QSize(w, turn));
        QCOMPARE((QList<double>{panel.minValue(), panel.maxValue(), panel.DispSinogram->CBar->minV(), panel.DispSinogram->CBar->maxV()}), range + range);
        for (int u = 0; u < turn; ++u)
            for (int v = 0; v < w; ++v) {
                std::complex<double> sum;
                for (int r = 0; r < turn; ++r)
                    for (int x = 0; x < w; ++x)
                        sum += fullTurn(rows, r, x) * std::polar(1.0, -2 * M_PI * (double(u) * r / turn + double(v) * x / w));
                const double m = magnitude[size_t(u * w + v)];
                QVERIFY(std::abs(m - std::abs(sum) / (w * turn)) <= 1e-12);
                QCOMPARE(int(panel.DispFouS->img.constScanLine(u)[v]), (ColorScale{-10, 10}.colorIndex(m)));
                QCOMPARE(int(panel.DispSinogram->img.constScanLine(u)[v]), (ColorScale{range[0], range[1]}.colorIndex(fullTurn(rows, u, v))));
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

    // The controls start at 1000, as the panel's field does; they store, show and announce
    // only a changed value, which comes back into the field.
    void typedCentre()
    {
        struct Case { const char *typed; double cor; int emitted; };
        for (const Case &c : {Case{"1000.0", 1000.0, 0}, {"295.54321", 295.54321, 1}, {"abc", 0.0, 1}}) {
            ProcCtrl ctrl;
            Sinogram typing;
            typing.setProcCtrl(&ctrl);
            connect(&ctrl, &ProcCtrl::corUpdated, &typing, &Sinogram::corUpdated);
            QSignalSpy spy(&ctrl, &ProcCtrl::corUpdated);
            typing.Cor->setText(c.typed);
            emit typing.Cor->editingFinished();
            QVERIFY(spy.count() == c.emitted && std::abs(ctrl.cor - c.cor) <= 1e-12);
            QCOMPARE(ctrl.Cor->text(), QString::number(c.cor, 'g', 6));
            QCOMPARE(typing.Cor->text(), c.emitted ? ctrl.Cor->text() : QString(c.typed));
        }
    }

    // Rows (1, 2, 3), (4, 5, 6): the pointer's column and row truncated toward zero; the
    // lower half reads the measured row, not the mirrored one.
    void readOut()
    {
        panel.sinogram()->resize(0, 0);
        panel.DispSinogram->Val->setText("-");
        panel.newPos(0, 0); // nothing built
        QCOMPARE(panel.DispSinogram->Val->text(), QString("-"));
        show({{1, 2, 3}, {4, 5, 6}});
        struct Case { double x, y; const char *shown; };
        for (const Case &c : {Case{2.9, 1.2, "6"}, {0.0, 2.5, "1"}, {0.0, 3.99, "4"}, {0.0, 4.0, "4"}, {-0.5, 0.0, "1"},
                              {3.0, 0.0, "1"}, {std::nan(""), 0.0, "1"}}) {
            emit panel.DispSinogram->newPosInvY(c.x, c.y);
            QCOMPARE(panel.DispSinogram->Val->text(), QString(c.shown));
        }
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
            QVERIFY(ItexWriter::write(dir.filePath(QString("p%1.img").arg(j)), 8, 4, 4, pixels) && series.add(dir.filePath(QString("p%1.img").arg(j))));
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
        QVERIFY(built.sinogram()->h == 0 && built.Cor->text() == "4");
        built.GenImg->click();
        QVERIFY(built.sinogram()->w == 5 && built.sinogram()->h == 3 && built.DispSinogram->img.height() == 6);
        QVERIFY(built.minValue() == 102 && built.maxValue() == 126);
        ctrl.setCor(2.0);
        ctrl.AutoUpdate->setChecked(true);
        built.autoUpdateUpdated();
        QVERIFY(built.sinogram()->w == 3 && built.DispSinogram->img.width() == 3);
    }
};

QTEST_MAIN(TestSinogramPanel)
#include "tst_sinogrampanel.moc"
