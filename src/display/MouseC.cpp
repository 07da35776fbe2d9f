#include "MouseC.h"

namespace {
// Truncation toward zero, so that -0.7 pixels is stored as 0.
QPoint truncated(const QPointF &p) { return QPoint(int(p.x()), int(p.y())); }

int modifierOffset(Qt::KeyboardModifiers m)
{
    const bool shift = m & Qt::ShiftModifier;
    const bool ctrl = m & Qt::ControlModifier;
    const bool alt = m & Qt::AltModifier;
    if (shift && ctrl && alt) return 7;
    if (ctrl && alt) return 6;
    if (shift && alt) return 5;
    if (shift && ctrl) return 4;
    if (alt) return 3;
    if (ctrl) return 2;
    if (shift) return 1;
    return 0;
}
} // namespace

MouseC::MouseC(QObject *parent) : QObject(parent) {}

MouseC::MStat MouseC::stat(Qt::MouseButton b, Qt::KeyboardModifiers m)
{
    if (b == Qt::LeftButton)
        return MStat(MLeft + modifierOffset(m));
    if (b == Qt::RightButton)
        return MStat(MRight + modifierOffset(m));
    return MOther;
}

void MouseC::recordMove(const QPointF &at, Qt::MouseButton b, Qt::KeyboardModifiers m)
{
    prevPos = pos;
    pos = truncated(at);
    button = b;
    modifiers = m;
    if (pressed && (pos - pressPos).manhattanLength() > kClickTolerance)
        dragged = true;
    emit mMoved();
}

void MouseC::recordPress(const QPointF &at, Qt::MouseButton b, Qt::KeyboardModifiers m)
{
    prevPos = pos;
    pos = pressPos = truncated(at);
    pressed = true;
    dragged = false;
    button = pressButton = b;
    modifiers = pressModifiers = m;
    emit mPressed();
}

void MouseC::recordRelease(const QPointF &at, Qt::MouseButton b, Qt::KeyboardModifiers m)
{
    prevPos = pos;
    pos = releasePos = truncated(at);
    if ((pos - pressPos).manhattanLength() > kClickTolerance)
        dragged = true;  // a release far away without moves reported in between
    pressed = false;
    button = releaseButton = b;
    modifiers = releaseModifiers = m;
    emit mReleased();
}

void MouseC::recordDoubleClick(const QPointF &at, Qt::MouseButton b, Qt::KeyboardModifiers m)
{
    dClickPos = truncated(at);
    button = dClickButton = b;
    modifiers = dClickModifiers = m;
    emit mDClicked();
}
