#pragma once

#include "CtSlicePanel.h"

#include <memory>
#include <vector>

struct SliceResult;

// The panel of one CT2 worker: its current slice with a colour bar, the display and
// calculation regions, the slice number and the timing. Lives on the GUI thread and
// knows no worker: the window shows here what the run controller reports (a slice
// handed out, a slice answered). A change of the colour bar re-renders the slice on
// show from its values.
class CtCalc2Ui : public CtSlicePanel
{
    Q_OBJECT
public:
    explicit CtCalc2Ui(QWidget *parent = nullptr);

    // The values of the slice on show (n x n, row-major); nullptr before the first.
    const std::vector<double> *shownValues() const { return values.get(); }
    int shownSide() const { return shownN; }

public slots:
    // A slice was handed to the worker: start time and slice number.
    void sliceStarted(int slice);
    // The worker's answer: end and spent time, and the slice's picture when it has one.
    void showResult(const SliceResult &result);
    void noticedNewPos(double x, double z);
    void newImage();
    // Renders the slice on show again through the colour bar.
    void genResImage();

private:
    std::shared_ptr<const std::vector<double>> values;
    int shownN = 0;
};
