#pragma once

#include <QCoreApplication>
#include <QMouseEvent>
#include <QWheelEvent>
#include <QWidget>

// Synthetic pointer events delivered straight to a widget, with any button state and
// modifiers (QTest's move helper carries neither).
inline void sendMouse(QWidget *w, QEvent::Type type, const QPointF &at, Qt::MouseButton button,
                      Qt::MouseButtons held, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QMouseEvent e(type, at, w->mapToGlobal(at), button, held, modifiers);
    QCoreApplication::sendEvent(w, &e);
}

inline void moveTo(QWidget *w, const QPointF &at, Qt::MouseButtons held = Qt::NoButton,
                   Qt::KeyboardModifiers m = Qt::NoModifier)
{ sendMouse(w, QEvent::MouseMove, at, Qt::NoButton, held, m); }

inline void press(QWidget *w, const QPointF &at, Qt::MouseButton b, Qt::KeyboardModifiers m = Qt::NoModifier)
{ sendMouse(w, QEvent::MouseButtonPress, at, b, b, m); }

inline void release(QWidget *w, const QPointF &at, Qt::MouseButton b, Qt::KeyboardModifiers m = Qt::NoModifier)
{ sendMouse(w, QEvent::MouseButtonRelease, at, b, Qt::NoButton, m); }

inline void turnWheel(QWidget *w, const QPointF &at, int angleDeltaY)
{
    QWheelEvent e(at, w->mapToGlobal(at), QPoint(), QPoint(0, angleDeltaY), Qt::NoButton,
                  Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(w, &e);
}
