#include "CtCalc2Ui.h"

#include "ColorBar.h"
#include "CtCalc2.h"
#include "FieldValue.h"

#include <QCheckBox>

CtCalc2Ui::CtCalc2Ui(QWidget *parent) : CtSlicePanel(parent)
{
    // The shared copy follows every change of the region fields and the colour bar;
    // these connections come first so a worker woken by the same change reads it.
    for (QLineEdit *field : {Crx0, Crz0, Crx1, Crz1})
        connect(field, &QLineEdit::textChanged, this, &CtCalc2Ui::refreshShared);
    connect(DispCt, &ImgDispWCBar::newBar, this, &CtCalc2Ui::refreshShared);
    connect(colorBar()->fixBox(), &QCheckBox::toggled, this, &CtCalc2Ui::refreshShared);
    refreshShared();
    connect(DispCt, &ImgDispWPV::newPosInvY, this, &CtCalc2Ui::noticedNewPos);
    connect(this, &CtCalc2Ui::mailPosted, this, &CtCalc2Ui::takeMail, Qt::QueuedConnection);
}

void CtCalc2Ui::post(Mail mail)
{
    {
        const std::lock_guard<std::mutex> lock(sharedLock);
        mailbox.push_back(std::move(mail));
    }
    emit mailPosted();
}

CtCalc2Ui::Mail CtCalc2Ui::mailOf(Mail::Kind kind, int number)
{
    Mail mail;
    mail.kind = kind;
    mail.number = number;
    return mail;
}

void CtCalc2Ui::postStartTime() { post(mailOf(Mail::StartTime)); }
void CtCalc2Ui::postSliceNo(int no) { post(mailOf(Mail::SliceNo, no)); }
void CtCalc2Ui::postEndTime() { post(mailOf(Mail::EndTime)); }

void CtCalc2Ui::postImage(const Rendered &rendered)
{
    Mail mail = mailOf(Mail::Image);
    mail.rendered = rendered;
    post(std::move(mail));
}

void CtCalc2Ui::postSaveImage(const QString &fname)
{
    Mail mail = mailOf(Mail::SaveImage);
    mail.fileName = fname;
    post(std::move(mail));
}

void CtCalc2Ui::takeMail()
{
    std::vector<Mail> taken;
    {
        const std::lock_guard<std::mutex> lock(sharedLock);
        taken.swap(mailbox);
    }
    for (const Mail &mail : taken) {
        switch (mail.kind) {
        case Mail::StartTime:
            showStartTime();
            break;
        case Mail::SliceNo:
            showSliceNo(mail.number);
            break;
        case Mail::EndTime:
            showEndTime();
            showSpentT();
            break;
        case Mail::InitialRegion:
            setInitialRegion(mail.number);
            break;
        case Mail::Image:
            installImage(mail.rendered);
            break;
        case Mail::SaveImage:
            saveImage(mail.fileName);
            break;
        }
    }
}

void CtCalc2Ui::setWorker(CtCalc2 *worker)
{
    calc = worker;
    connect(DispCt, &ImgDispWCBar::newBar, worker, &CtCalc2::genResImage);
}

CalcRegion CtCalc2Ui::calcRegion() const
{
    const std::lock_guard<std::mutex> lock(sharedLock);
    return sharedRegion;
}

CtCalc2Ui::RenderState CtCalc2Ui::renderState() const
{
    const std::lock_guard<std::mutex> lock(sharedLock);
    return sharedRender;
}

CalcRegion CtCalc2Ui::regionForSlice(int n)
{
    {
        const std::lock_guard<std::mutex> lock(sharedLock);
        if (isRegionSet())
            return sharedRegion;
    }
    post(mailOf(Mail::InitialRegion, n));
    return CalcRegion{0, 0, double(n), double(n)};
}

void CtCalc2Ui::setInitialRegion(int n)
{
    // A second slice may have asked before the first request arrived.
    if (!isRegionSet())
        setCR(0, 0, n, n);
}

void CtCalc2Ui::refreshShared()
{
    const std::lock_guard<std::mutex> lock(sharedLock);
    sharedRegion = CalcRegion{realFieldValue(Crx0->text()), realFieldValue(Crz0->text()),
                              realFieldValue(Crx1->text()), realFieldValue(Crz1->text())};
    sharedRender.scale = colorBar()->colorScale();
    sharedRender.fixed = colorBar()->isFixed();
}

void CtCalc2Ui::installImage(const Rendered &rendered)
{
    if (rendered.autoRanged && !colorBar()->isFixed()) {
        colorBar()->setRange(rendered.min, rendered.max);
        refreshShared();
    }
    DispCt->img = rendered.image;
    shownValues = rendered.values;
    shownN = rendered.n;
    if (rendered.show)
        newImage();
}

void CtCalc2Ui::noticedNewPos(double x, double z)
{
    showValueAt(x, z, shownValues ? shownValues->data() : nullptr, shownN);
}

void CtCalc2Ui::newImage() { DispCt->newImage(); }

void CtCalc2Ui::saveImage(QString fname)
{
    // A slice saved without being shown has no view yet: the first image sets it to
    // the whole image.
    if (!DispCt->scaleSet)
        DispCt->newImage();
    DispCt->saveImage(fname);
}

void CtCalc2Ui::setCBarMinMaxForced(double min, double max)
{
    CtSlicePanel::setCBarMinMaxForced(min, max);
    refreshShared();
}
