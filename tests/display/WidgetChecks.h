#pragma once

#include <QEvent>
#include <QLineEdit>
#include <QPoint>
#include <QWidget>

// Counts the paint events a widget receives. grab() paints whatever was requested, so
// only this shows whether a change asked for a repaint at all.
class PaintCounter : public QObject
{
public:
    explicit PaintCounter(QWidget *w) { w->installEventFilter(this); }
    int paints = 0;

protected:
    bool eventFilter(QObject *, QEvent *e) override
    {
        paints += e->type() == QEvent::Paint;
        return false;
    }
};

// True when the field, given text, shows it from its first character: a field too
// narrow scrolls the text and its left edge falls inside it.
inline bool showsWhole(QLineEdit *field, const QString &text)
{
    field->setText(text);
    field->grab();  // the scroll position is settled by a paint
    return field->cursorPositionAt(QPoint(1, field->height() / 2)) == 0
           && field->cursorPositionAt(QPoint(field->width() - 2, field->height() / 2)) == text.size();
}
