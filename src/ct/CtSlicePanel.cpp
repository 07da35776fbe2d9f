#include "CtSlicePanel.h"

#include "ColorBar.h"
#include "FieldValue.h"
#include "FieldWidth.h"
#include "NumberField.h"

#include <cmath>

namespace {
const QString timeFormat = QStringLiteral("hh:mm:ss.zzz");
} // namespace

CtSlicePanel::CtSlicePanel(QWidget *parent) : QFrame(parent)
{
    setupUi(this);
    // Sized for their longest texts, yet squeezable (elided, whole text as tool tip), so
    // that a narrow tab keeps the slice and its colour bar in sight.
    for (NumberField *field : {Drx0, Drz0, Drx1, Drz1, Crx0, Crz0, Crx1, Crz1, SpentT})
        field->setTypicalTexts(FieldWidth::longestReal());
    for (NumberField *field : {StartT, EndT})
        field->setTypicalTexts({QStringLiteral("00:00:00.000")});
    ShowSliceNo->setTypicalTexts(FieldWidth::longestInteger(999999));
    DispCt->setKeepAspectRatio(true);  // a slice is shown with square pixels
    connect(SetCRegion, &QPushButton::clicked, this, &CtSlicePanel::setCRegion);
    connect(DispCt, &ImgDisp::newS, this, &CtSlicePanel::noticedNewS);
    setCR(0, 0, 2047, 2047);
    regionSet = false;
}

void CtSlicePanel::noticedNewS(QRectF s)
{
    setDR(s.x(), s.y(), s.x() + s.width(), s.y() + s.height());
}

void CtSlicePanel::setCRegion()
{
    setCR(std::floor(realFieldValue(Drx0->text())), std::floor(realFieldValue(Drz0->text())),
          std::ceil(realFieldValue(Drx1->text())), std::ceil(realFieldValue(Drz1->text())));
}

bool CtSlicePanel::writeRegion(const Fields &fields, const std::array<double, 4> &values)
{
    bool changed = false;
    for (size_t i = 0; i < fields.size(); ++i) {
        const double old = realFieldValue(fields[i]->text());
        fields[i]->setText(realFieldText(values[i]));
        changed = changed || realFieldValue(fields[i]->text()) != old;
    }
    return changed;
}

void CtSlicePanel::setDR(double rx0, double rz0, double rx1, double rz1)
{
    if (!writeRegion({Drx0, Drz0, Drx1, Drz1}, {rx0, rz0, rx1, rz1}))
        return;
    // A view without a positive, finite extent would make the view's conversions
    // divide by zero; the fields still show what was asked for.
    const QRectF view(rx0, rz0, rx1 - rx0, rz1 - rz0);
    if (view.width() > 0 && view.height() > 0 && std::isfinite(view.width()) && std::isfinite(view.height())) {
        DispCt->view = view;
        DispCt->scaleSet = true;
        DispCt->dispA->update();
    }
    emit dRUpdated(rx0, rz0, rx1, rz1);
}

void CtSlicePanel::setCR(double rx0, double rz0, double rx1, double rz1)
{
    if (!writeRegion({Crx0, Crz0, Crx1, Crz1}, {rx0, rz0, rx1, rz1}))
        return;
    regionSet = true;
    emit cRUpdated(rx0, rz0, rx1, rz1);
}

void CtSlicePanel::showWholeSlice(int n)
{
    if (!regionSet)
        writeRegion({Crx0, Crz0, Crx1, Crz1}, {0, 0, double(n), double(n)});
}

void CtSlicePanel::setFixColorScale(bool f) { colorBar()->setFixColorScale(f); }

void CtSlicePanel::setCBarMinMaxForced(double min, double max) { colorBar()->setRange(min, max); }

void CtSlicePanel::showStartTime()
{
    started = QDateTime::currentDateTime();
    StartT->setText(started.toString(timeFormat));
}

void CtSlicePanel::showEndTime()
{
    ended = QDateTime::currentDateTime();
    EndT->setText(ended.toString(timeFormat));
}

void CtSlicePanel::showSpentT()
{
    SpentT->setText(realFieldText(started.msecsTo(ended) / 1000.0));
}

void CtSlicePanel::showSliceNo(int no) { ShowSliceNo->setText(QString::number(no)); }

void CtSlicePanel::showValueAt(double x, double z, const double *values, int side)
{
    // NaN fails every comparison.
    const double column = std::trunc(x);
    const double row = std::trunc(z);
    if (values && column >= 0 && column < side && row >= 0 && row < side)
        DispCt->setVal(values[size_t(row) * size_t(side) + size_t(column)]);
}
