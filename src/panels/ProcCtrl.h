#pragma once

#include "ReconFilter.h"
#include "ui_ProcCtrl.h"

#include <QFrame>

class QAbstractButton;
class QButtonGroup;
struct CalcConds;

// The reconstruction settings every other part reads: slice, centre of rotation,
// rotation-axis orientation, the auto switches, the slice range and the filter. The parsed
// values are kept in public fields; a signal named after a value is emitted only
// when that value really changed. Owners may write a field together with its text
// and emit the matching signal themselves.
class ProcCtrl : public QFrame, public Ui::ProcCtrl
{
    Q_OBJECT
public:
    explicit ProcCtrl(QWidget *parent = nullptr);

    // Copies the settings into a run request. The step carries the direction of the
    // range: -|step| when From > To, +|step| otherwise.
    void fillCalcConds(CalcConds &conds, bool useCt1, bool useCt2) const;

    bool rotAxIsV = false;
    int sliceNo = 0;
    double cor = 0.0;
    // "Quantitative" and its window; the window box is enabled only in that mode.
    ReconFilter reconFilter;

signals:
    void autoUpdateUpdated();
    void autoExecUpdated();
    void rotAxUpdated();
    void sliceNoUpdated();
    void corUpdated();
    void reconFilterUpdated();
    void askGenImage();

public slots:
    void sliceNoEditingFinished();
    void corEditingFinished();
    void rotAxSelectionChanged(QAbstractButton *button);
    void setCor(double cor);
    void setSliceNo(int sliceNo);
    void setSliceFrom(int from);
    void setSliceTo(int to);
    void setSliceStep(int step);
    // Checks or unchecks "Quantitative" (reconFilterUpdated on a change).
    void setQuantitative(bool on);
    // Selects the window of a batch word; false (and one debug line) for any other
    // word, leaving the choice as it was.
    bool setFilterWindow(const QString &name);

private slots:
    void filterControlsChanged();

private:
    QButtonGroup *rotAxGroup;
};
