#pragma once

#include "ui_CtCalc.h"

#include <QDateTime>
#include <QFrame>
#include <QRectF>

#include <array>
#include <atomic>

class ColorBar;

// The form the CT1 engine and every CT2 panel share: a slice view with its colour bar,
// the display region (the part of the slice on show) and the calculation region (the
// part back-projected), the slice number and the timing of the last run. Regions are in
// image pixels of the slice, x to the right, z down, and the fields show them as reals
// ('g', 6 digits); the calculation region is exclusive at its upper bounds. GUI thread,
// but isRegionSet, which any thread may read.
class CtSlicePanel : public QFrame, public Ui::CtCalc
{
    Q_OBJECT
public:
    explicit CtSlicePanel(QWidget *parent = nullptr);

    ColorBar *colorBar() const { return DispCt->CBar; }
    // The calculation region has been set since creation (not by the constructor).
    bool isRegionSet() const { return regionSet; }
    const QDateTime &startTime() const { return started; }
    const QDateTime &endTime() const { return ended; }

signals:
    void dRUpdated(double rx0, double rz0, double rx1, double rz1);
    void cRUpdated(double rx0, double rz0, double rx1, double rz1);

public slots:
    void noticedNewS(QRectF s);
    // The calculation region from the display region, widened to whole pixels.
    void setCRegion();
    // Write the four fields; when a value read back from them changed, setCR sets
    // regionSet and emits cRUpdated, setDR moves the view and emits dRUpdated.
    void setDR(double rx0, double rz0, double rx1, double rz1);
    void setCR(double rx0, double rz0, double rx1, double rz1);
    // Shows (0, 0)-(n, n) in the calculation-region fields of a panel whose region was
    // never set, leaving it unset.
    void showWholeSlice(int n);
    void setFixColorScale(bool f);
    virtual void setCBarMinMaxForced(double min, double max);
    // The clock now as the start or end of the run; the seconds between them.
    void showStartTime();
    void showEndTime();
    void showSpentT();
    void showSliceNo(int no);

protected:
    // The value at image position (x, z) of a side x side slice (row-major) into the
    // read-out; nothing outside the slice. Positions are truncated toward zero.
    void showValueAt(double x, double z, const double *values, int side);

private:
    using Fields = std::array<QLineEdit *, 4>; // x0, z0, x1, z1
    // Writes the values; true when one of them, as read back, differs from before.
    static bool writeRegion(const Fields &fields, const std::array<double, 4> &values);

    std::atomic<bool> regionSet{false};
    QDateTime started;
    QDateTime ended;
};
