#pragma once

#include "ThreadHandoff.h"
#include "XanesJob.h"
#include "ui_XanesPanel.h"

#include <QRectF>
#include <QThread>
#include <QWidget>

#include <memory>

class ImgDispWPV;
class XanesWorker;
QT_BEGIN_NAMESPACE
class QChart;
class QChartView;
class QFileDialog;
QT_END_NAMESPACE

// The "XANES" tab: a slice's chemical-state maps from saved results. "Compute" hands the
// settings to a worker on a thread of its own and shows the slice it answers with: the map
// chosen above the view (or the slice at the energy of the slider) with its colour bar; a
// click shows that pixel's spectrum, a Shift-drag the mean of the rectangle, raw with the
// pre- and post-edge lines and E0, and normalised with the fit. "Export" writes the maps as
// 32-bit float TIFF and the shown spectrum as CSV.
class XanesPanel : public QWidget, public Ui::XanesPanel
{
    Q_OBJECT
public:
    explicit XanesPanel(QWidget *parent = nullptr);
    ~XanesPanel() override;
    // A new panel in a scroll area, as a tab page: the panel scrolls inside its tab, so
    // its size never widens the window.
    static QWidget *scrollingPage();

    // The request the fields describe (slice: sliceBox); while "Follow the sequence" is
    // checked, its stacks are the planes the sequence handed back.
    XanesRequest request() const;
    // The slice whose planes the running sequence should hand back; -1 when none.
    int followedSlice() const;
    const XanesSlice *shown() const { return result.get(); }
    const XanesRegion &region() const { return picked; }
    QChart *rawChart() const { return raw; }
    QChart *normalisedChart() const { return normalised; }
    ImgDispWPV *mapView() const { return view; }
    // Writes every map of the shown slice and the shown spectrum into folder; false (with a
    // debug line per file) when anything could not be written.
    bool exportTo(const QString &folder) const;

signals:
    void computeRequested(Handed<XanesRequest> request, int slice);

public slots:
    void compute();
    void showResult(std::shared_ptr<const XanesSlice> slice, QString why = QString());
    // The spectrum of a region (one pixel: x1 = x0 + 1, z1 = z0 + 1).
    void pick(const XanesRegion &region);
    void showMap();
    // The planes gathered from the sequence so far; while the tab follows the sequence, its
    // slice is mapped again once it has enough energies.
    void followSequence(std::shared_ptr<const SequenceStack> planes);
    // Adds the picked pixel or rectangle to the references, as a "region" line.
    void useAsReference();

private slots:
    void exportClicked();
    void pickedPoint(double x, double z);
    void selected(QRectF selection);

private:
    const std::vector<float> *chosenMap(std::vector<float> &energyPlane) const;
    void plotSpectrum();

    ImgDispWPV *view = nullptr;
    QChart *raw = nullptr;
    QChart *normalised = nullptr;
    QThread thread;
    XanesWorker *worker = nullptr;
    QFileDialog *exportDialog = nullptr; // made when first asked for
    std::shared_ptr<const XanesSlice> result;
    std::shared_ptr<const SequenceStack> sequence;
    bool computing = false;
    bool followPending = false; // planes came in while a slice was being computed
    XanesRegion picked;
    std::vector<double> shownValues; // of the map in the view, for the read-out
};
