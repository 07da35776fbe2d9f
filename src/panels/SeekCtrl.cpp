#include "SeekCtrl.h"

#include <QSignalBlocker>

#include <algorithm>

SeekCtrl::SeekCtrl(QWidget *parent)
    : QFrame(parent)
{
    setupUi(this);
    // Every change of the slider's value (drag, groove click, wheel, keys, setValue),
    // not only a drag, moves the index.
    connect(Seek, &QSlider::valueChanged, this, &SeekCtrl::sliderMoved);
    connect(Index, &QSpinBox::valueChanged, this, &SeekCtrl::indexChanged);
    connect(Inc, &QToolButton::clicked, this, &SeekCtrl::inc);
    connect(Dec, &QToolButton::clicked, this, &SeekCtrl::dec);
}

// Each side brings the other in step silently, so one change is reported once.
void SeekCtrl::sliderMoved(int val)
{
    const QSignalBlocker quiet(Index);
    Index->setValue(val);
    emit newIndex(val);
}

void SeekCtrl::indexChanged(int val)
{
    const QSignalBlocker quiet(Seek);
    Seek->setValue(val);
    emit newIndex(val);
}

void SeekCtrl::inc()
{
    // 64-bit sum: the index may sit near the top of the int range.
    Seek->setValue(int(std::min<qint64>(qint64(Seek->value()) + jump, Seek->maximum())));
}

void SeekCtrl::dec()
{
    Seek->setValue(int(std::max<qint64>(qint64(Seek->value()) - jump, 0)));
}
