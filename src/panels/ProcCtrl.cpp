#include "ProcCtrl.h"

#include "CalcConds.h"
#include "FieldValue.h"
#include "FieldWidth.h"

#include <QButtonGroup>

#include <climits>
#include <cstdlib>

namespace {
// The readers refuse images with a longer side, so no slice number is larger.
constexpr qint64 kLargestImageSide = qint64(1) << 20;
} // namespace

ProcCtrl::ProcCtrl(QWidget *parent)
    : QFrame(parent), rotAxGroup(new QButtonGroup(this))
{
    setupUi(this);
    for (QLineEdit *field : {SliceNo, SliceFrom, SliceTo, SliceStep})
        FieldWidth::fitInteger(field, kLargestImageSide);
    FieldWidth::fitReal(Cor);
    sliceNo = intFieldValue(SliceNo->text());
    cor = realFieldValue(Cor->text());

    rotAxGroup->setExclusive(true);
    rotAxGroup->addButton(RotAxH);
    rotAxGroup->addButton(RotAxV);
    RotAxH->setChecked(true);
    rotAxIsV = false;

    connect(AutoUpdate, &QCheckBox::toggled, this, &ProcCtrl::autoUpdateUpdated);
    connect(AutoExecCtCalc, &QCheckBox::toggled, this, &ProcCtrl::autoExecUpdated);
    connect(SliceNo, &QLineEdit::editingFinished, this, &ProcCtrl::sliceNoEditingFinished);
    connect(Cor, &QLineEdit::editingFinished, this, &ProcCtrl::corEditingFinished);
    connect(rotAxGroup, &QButtonGroup::buttonClicked, this, &ProcCtrl::rotAxSelectionChanged);
}

void ProcCtrl::fillCalcConds(CalcConds &conds, bool useCt1, bool useCt2) const
{
    conds.useCt1 = useCt1;
    conds.useCt2 = useCt2;
    conds.rotAxIsV = rotAxIsV;
    conds.slice = sliceNo;
    conds.cor = cor;
    conds.rangeMode = AutoExecCtCalc->isChecked();
    conds.sliceFrom = intFieldValue(SliceFrom->text());
    conds.sliceTo = intFieldValue(SliceTo->text());
    const int step = intFieldValue(SliceStep->text());
    // |INT_MIN| does not fit an int; the largest step still leaves the range at once.
    const int magnitude = step == INT_MIN ? INT_MAX : std::abs(step);
    conds.sliceStep = conds.sliceFrom > conds.sliceTo ? -magnitude : magnitude;
    conds.threads = Threads->value();
}

void ProcCtrl::sliceNoEditingFinished()
{
    const int value = intFieldValue(SliceNo->text());
    if (value == sliceNo)
        return;
    sliceNo = value;
    emit sliceNoUpdated();
}

void ProcCtrl::corEditingFinished()
{
    const double value = realFieldValue(Cor->text());
    if (value == cor)
        return;
    cor = value;
    emit corUpdated();
}

void ProcCtrl::rotAxSelectionChanged(QAbstractButton *)
{
    const bool vertical = RotAxV->isChecked();
    if (vertical == rotAxIsV)
        return;
    rotAxIsV = vertical;
    emit rotAxUpdated();
}

void ProcCtrl::setCor(double newCor)
{
    if (newCor == cor)
        return;
    cor = newCor;
    Cor->setText(realFieldText(cor));
    emit corUpdated();
}

void ProcCtrl::setSliceNo(int newSliceNo)
{
    if (newSliceNo == sliceNo)
        return;
    sliceNo = newSliceNo;
    SliceNo->setText(QString::number(sliceNo));
    emit sliceNoUpdated();
}

void ProcCtrl::setSliceFrom(int from)
{
    SliceFrom->setText(QString::number(from));
}

void ProcCtrl::setSliceTo(int to)
{
    SliceTo->setText(QString::number(to));
}

void ProcCtrl::setSliceStep(int step)
{
    SliceStep->setText(QString::number(step));
}
