#pragma once

#include "CalcRegion.h"
#include "ColorScale.h"
#include "CtSlicePanel.h"

#include <QImage>

#include <memory>
#include <mutex>
#include <vector>

class CtCalc2;

// The panel of one CT2 worker: its current slice with a colour bar, the display and
// calculation regions, the slice number and the timing. Lives on the GUI thread.
//
// The worker never touches the widgets. It reads the calculation region and the
// colour-bar state through renderState()/calcRegion(), a copy the panel refreshes
// under a lock whenever a region field or the colour bar changes, and it hands its
// results back through queued calls of the slots below and of installImage.
class CtCalc2Ui : public CtSlicePanel
{
    Q_OBJECT
public:
    // What a worker renders with: the colour scale and whether "Fix" is checked.
    struct RenderState
    {
        ColorScale scale;
        bool fixed = false;
    };
    // The reconstructed values of a slice, shared with the worker that computed them.
    using SliceValues = std::shared_ptr<const std::vector<double>>;

    explicit CtCalc2Ui(QWidget *parent = nullptr);

    // Stores the worker and lets a colour-bar change re-render its last slice.
    void setWorker(CtCalc2 *worker);
    CtCalc2 *worker() const { return calc; }

    // Thread-safe copies of the state a worker needs.
    CalcRegion calcRegion() const;
    RenderState renderState() const;
    // The region of a slice of side n: the current calculation region, or (0, 0)-(n, n)
    // while the region was never set, which is then set on the panel (GUI thread).
    CalcRegion regionForSlice(int n);

    // A rendered slice for the display. With autoRanged the colour bar takes min and
    // max (unless "Fix" was checked meanwhile); with show the display repaints.
    struct Rendered
    {
        QImage image;
        SliceValues values;
        int n = 0;
        bool autoRanged = false;
        double min = 0.0;
        double max = 0.0;
        bool show = false;
    };
    // Any thread: what a worker asks of its panel, carried out on the GUI thread in the
    // order posted. The data pass under the panel's lock and only a parameterless
    // signal crosses the event queue.
    void postStartTime();
    void postSliceNo(int no);
    void postEndTime();
    void postImage(const Rendered &rendered);
    void postSaveImage(const QString &fname);

signals:
    // Mail was posted (emitted from the worker's thread, delivered queued).
    void mailPosted();

public slots:
    void noticedNewPos(double x, double z);
    void newImage();
    void saveImage(QString fname);
    void setCBarMinMaxForced(double min, double max) override;

private:
    // Copies the region fields and the colour bar into the shared state.
    void refreshShared();
    void setInitialRegion(int n);
    void installImage(const Rendered &rendered);
    void takeMail();

    struct Mail
    {
        enum Kind { StartTime, SliceNo, EndTime, InitialRegion, Image, SaveImage };
        Kind kind = StartTime;
        int number = 0;
        Rendered rendered;
        QString fileName;
    };
    static Mail mailOf(Mail::Kind kind, int number = 0);
    void post(Mail mail);

    CtCalc2 *calc = nullptr;
    // Values of the slice on show, for the read-out under the pointer.
    SliceValues shownValues;
    int shownN = 0;

    // Shared with the worker's thread.
    mutable std::mutex sharedLock;
    CalcRegion sharedRegion;
    RenderState sharedRender;
    std::vector<Mail> mailbox;
};
