#pragma once

#include <QCoreApplication>
#include <QLineEdit>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QWheelEvent>
#include <QtTest>

#include <cmath>

// Pointer events with any buttons held and modifiers (QTest's move carries neither).
inline void sendMouse(QWidget *w, QEvent::Type type, const QPointF &at, Qt::MouseButton button,
                      Qt::MouseButtons held, Qt::KeyboardModifiers modifiers = {})
{
    QMouseEvent e(type, at, w->mapToGlobal(at), button, held, modifiers);
    QCoreApplication::sendEvent(w, &e);
}
inline void moveTo(QWidget *w, const QPointF &at, Qt::MouseButtons held = {}, Qt::KeyboardModifiers m = {})
{ sendMouse(w, QEvent::MouseMove, at, Qt::NoButton, held, m); }
inline void press(QWidget *w, const QPointF &at, Qt::MouseButton b, Qt::KeyboardModifiers m = {})
{ sendMouse(w, QEvent::MouseButtonPress, at, b, b, m); }
inline void release(QWidget *w, const QPointF &at, Qt::MouseButton b, Qt::KeyboardModifiers m = {})
{ sendMouse(w, QEvent::MouseButtonRelease, at, b, Qt::NoButton, m); }
inline void turnWheel(QWidget *w, const QPointF &at, int angleDeltaY)
{
    QWheelEvent e(at, w->mapToGlobal(at), {}, QPoint(0, angleDeltaY), {}, {}, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(w, &e);
}

// Paint events received: grab() paints anyway, so only these show a requested repaint.
struct PaintCounter : QObject {
    explicit PaintCounter(QWidget *w) { w->installEventFilter(this); }
    bool eventFilter(QObject *, QEvent *e) override { return paints += e->type() == QEvent::Paint, false; }
    int paints = 0;
};

// True when the field shows all of text (a narrow one scrolls it; a paint settles that).
inline bool showsWhole(QLineEdit *field, const QString &text)
{
    field->setText(text);
    field->grab();
    const int middle = field->height() / 2;
    return field->cursorPositionAt({1, middle}) == 0
           && field->cursorPositionAt({field->width() - 2, middle}) == text.size();
}
