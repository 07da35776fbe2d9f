#include "SeekCtrl.h"

#include <algorithm>

SeekCtrl::SeekCtrl(QWidget *parent)
    : QFrame(parent)
{
    setupUi(this);
    connect(Seek, &QSlider::sliderMoved, this, &SeekCtrl::sliderMoved);
    connect(Index, &QSpinBox::valueChanged, this, &SeekCtrl::indexChanged);
    connect(Inc, &QToolButton::clicked, this, &SeekCtrl::inc);
    connect(Dec, &QToolButton::clicked, this, &SeekCtrl::dec);
}

void SeekCtrl::sliderMoved(int val)
{
    Index->setValue(val);
    emit newIndex(val);
}

void SeekCtrl::indexChanged(int val)
{
    Seek->setValue(val);
    emit newIndex(val);
}

void SeekCtrl::inc()
{
    // 64-bit sum: the index may sit near the top of the int range.
    const qint64 target = std::min<qint64>(qint64(Seek->value()) + jump, Seek->maximum());
    jumpTo(int(target));
}

void SeekCtrl::dec()
{
    const qint64 target = std::max<qint64>(qint64(Seek->value()) - jump, 0);
    jumpTo(int(target));
}

void SeekCtrl::jumpTo(int val)
{
    if (val == Seek->value())
        return;
    Seek->setValue(val);
    Index->setValue(val);
    emit newIndex(val);
}
