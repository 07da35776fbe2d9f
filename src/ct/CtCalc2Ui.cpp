#include "CtCalc2Ui.h"

#include "ColorBar.h"
#include "CtCalc2.h"
#include "FieldValue.h"
#include "FieldWidth.h"

#include <QCheckBox>

#include <cmath>

namespace {
const QString timeFormat = QStringLiteral("hh:mm:ss.zzz");
}

CtCalc2Ui::CtCalc2Ui(QWidget *parent) : QFrame(parent)
{
    setupUi(this);
    for (QLineEdit *field : {Drx0, Drz0, Drx1, Drz1, Crx0, Crz0, Crx1, Crz1, SpentT})
        FieldWidth::fitReal(field);
    for (QLineEdit *field : {StartT, EndT})
        FieldWidth::fitText(field, {QStringLiteral("00:00:00.000")});
    FieldWidth::fitInteger(ShowSliceNo, 999999);
    cBar = DispCt->CBar;
    // The shared copy follows every change of the region fields and the colour bar;
    // these connections come first so a worker woken by the same change reads it.
    for (QLineEdit *field : {Crx0, Crz0, Crx1, Crz1})
        connect(field, &QLineEdit::textChanged, this, &CtCalc2Ui::refreshShared);
    connect(DispCt, &ImgDispWCBar::newBar, this, &CtCalc2Ui::refreshShared);
    connect(cBar->fixBox(), &QCheckBox::toggled, this, &CtCalc2Ui::refreshShared);
    setCR(0, 0, 2047, 2047);
    regionSet = false;
    refreshShared();
    connect(SetCRegion, &QPushButton::clicked, this, &CtCalc2Ui::setCRegion);
    connect(DispCt, &ImgDisp::newS, this, &CtCalc2Ui::noticedNewS);
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

bool CtCalc2Ui::isRegionSet() const
{
    const std::lock_guard<std::mutex> lock(sharedLock);
    return regionSet;
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
        if (regionSet)
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
    sharedRender.scale = cBar->colorScale();
    sharedRender.fixed = cBar->isFixed();
}

void CtCalc2Ui::installImage(const Rendered &rendered)
{
    if (rendered.autoRanged && !cBar->isFixed()) {
        cBar->setRange(rendered.min, rendered.max);
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
    if (!shownValues || shownN < 1)
        return;
    const int ix = int(x);
    const int iz = int(z);
    if (ix < 0 || iz < 0 || ix >= shownN || iz >= shownN)
        return;
    DispCt->setVal((*shownValues)[size_t(iz) * size_t(shownN) + size_t(ix)]);
}

void CtCalc2Ui::noticedNewS(QRectF s)
{
    setDR(s.x(), s.y(), s.x() + s.width(), s.y() + s.height());
}

void CtCalc2Ui::setCRegion()
{
    setCR(std::floor(realFieldValue(Drx0->text())), std::floor(realFieldValue(Drz0->text())),
          std::ceil(realFieldValue(Drx1->text())), std::ceil(realFieldValue(Drz1->text())));
}

void CtCalc2Ui::showStartTime()
{
    startT = QDateTime::currentDateTime();
    StartT->setText(startT.toString(timeFormat));
}

void CtCalc2Ui::showEndTime()
{
    endT = QDateTime::currentDateTime();
    EndT->setText(endT.toString(timeFormat));
}

void CtCalc2Ui::showSpentT()
{
    SpentT->setText(realFieldText(startT.msecsTo(endT) / 1000.0));
}

void CtCalc2Ui::showSliceNo(int no) { ShowSliceNo->setText(QString::number(no)); }

void CtCalc2Ui::newImage() { DispCt->newImage(); }

void CtCalc2Ui::saveImage(QString fname)
{
    // A slice saved without being shown has no view yet: the first image sets it to
    // the whole image.
    if (!DispCt->scaleSet)
        DispCt->newImage();
    DispCt->saveImage(fname);
}

bool CtCalc2Ui::writeRegion(QLineEdit *const fields[4], const double values[4])
{
    bool changed = false;
    for (int k = 0; k < 4; ++k) {
        const double old = realFieldValue(fields[k]->text());
        fields[k]->setText(realFieldText(values[k]));
        changed = changed || realFieldValue(fields[k]->text()) != old;
    }
    return changed;
}

void CtCalc2Ui::setCR(double rx0, double rz0, double rx1, double rz1)
{
    QLineEdit *const fields[4] = {Crx0, Crz0, Crx1, Crz1};
    const double values[4] = {rx0, rz0, rx1, rz1};
    if (!writeRegion(fields, values))
        return;
    {
        const std::lock_guard<std::mutex> lock(sharedLock);
        regionSet = true;
    }
    emit cRUpdated(rx0, rz0, rx1, rz1);
}

void CtCalc2Ui::setDR(double rx0, double rz0, double rx1, double rz1)
{
    QLineEdit *const fields[4] = {Drx0, Drz0, Drx1, Drz1};
    const double values[4] = {rx0, rz0, rx1, rz1};
    if (!writeRegion(fields, values))
        return;
    DispCt->view = QRectF(rx0, rz0, rx1 - rx0, rz1 - rz0);
    DispCt->scaleSet = true;
    DispCt->update();
    emit dRUpdated(rx0, rz0, rx1, rz1);
}

void CtCalc2Ui::setFixColorScale(bool f) { cBar->setFixColorScale(f); }

void CtCalc2Ui::setCBarMinMaxForced(double min, double max)
{
    cBar->setRange(min, max);
    refreshShared();
}
