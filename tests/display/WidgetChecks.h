#pragma once

#include <QCoreApplication>
#include <QLineEdit>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QWheelEvent>
#include <QtTest>

#include <cmath>

// Pointer events sent straight to a widget, with any button state and modifiers (QTest's
// move helper carries neither).
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

// Counts the paint events a widget gets: grab() paints anyway, so only this shows whether
// a change asked for a repaint at all.
struct PaintCounter : QObject {
    explicit PaintCounter(QWidget *w) { w->installEventFilter(this); }
    bool eventFilter(QObject *, QEvent *e) override { return paints += e->type() == QEvent::Paint, false; }
    int paints = 0;
};

// True when the field shows text from its first to its last character; a field too narrow
// scrolls the text (settled by a paint).
inline bool showsWhole(QLineEdit *field, const QString &text)
{
    field->setText(text);
    field->grab();
    const int middle = field->height() / 2;
    return field->cursorPositionAt({1, middle}) == 0 && field->cursorPositionAt({field->width() - 2, middle}) == text.size();
}
