#pragma once

#include "CorSearch.h"
#include "HSgm.h"
#include "ui_Sinogram.h"

#include <QFrame>

#include <vector>

class ImgDatas;
class ProcCtrl;

// The sinogram panel: shows the raw intensities of the current slice's sinogram over a
// full turn (the second half turn mirrored) and, with "Gen Fou. Sinogram", the
// magnitude of its 2-D Fourier transform; lets the user type the centre of rotation.
// It owns the sinogram record the CT1 engine reconstructs from, and its genSinogram0
// builds the sinograms of the CT2 workers on their own threads.
//
// The processing controls and the image set are set by the main window; until both
// are set nothing is computed. The image set must not change while a worker runs.
class Sinogram : public QFrame, public Ui::Sinogram
{
    Q_OBJECT
public:
    explicit Sinogram(QWidget *parent = nullptr);

    void setProcCtrl(ProcCtrl *ctrl) { procCtrl = ctrl; }
    void setImgDatas(const ImgDatas *imageSet) { imgs = imageSet; }
    const ImgDatas *imgDatas() const { return imgs; }
    // The panel's own record, rebuilt by genSinogram.
    HSgm *sinogram() { return &hSgm; }
    // Range of the raw intensities last displayed (largest double and its negative
    // after an empty record).
    double minValue() const { return min; }
    double maxValue() const { return max; }

public slots:
    // Value read-out of the pointer position (sinogram pixels, rows >= h are the
    // mirrored half and read row - h at the same column).
    void newPos(double x, double y);
    void corUpdated();
    void sliceNoUpdated();
    void rotAxUpdated();
    void autoUpdateUpdated();
    void corEditingFinished();
    // Builds the sinogram of line `slice` into hSgm (any thread, own record). False,
    // with the record unchanged, when there is no image set or nothing can be built.
    bool genSinogram0(HSgm *hSgm, bool rotAxIsV, double cor, int slice);
    // genSinogram0 on the panel's own record with the processing controls' settings.
    bool genSinogram();
    void genImage();
    void genSgmImage();
    void genFouSImage();
    void setGenFouS(bool f);
    // "Find CoR": estimates the centre of rotation of the current slice on a worker thread.
    // The result is applied like a typed one, then corSearchFinished() follows. False, with
    // corSearchFinished(false) at once, when there are no controls or images, the slice
    // gives no sinogram, or a search is already running.
    bool findCor();

signals:
    // A search started by findCor has ended; found is false when no centre was applied.
    void corSearchFinished(bool found);

private slots:
    // "Gen Image": rebuild and show, whatever the auto-update box says.
    void genSinogramAndImage();
    // The Fourier view's colour bar changed: the kept magnitudes drawn again.
    void renderFourierView();
    void corFound(bool found, double cor);

private:
    void autoUpdate();

    ProcCtrl *procCtrl = nullptr;
    HSgm hSgm;
    std::vector<double> fourierMagnitude; // of the last Fourier view, 2h rows of w
    int fourierW = 0;
    int fourierRows = 0;
    const ImgDatas *imgs = nullptr;
    double min = 0.0;
    double max = 0.0;
    CorSearch corSearch;
};
