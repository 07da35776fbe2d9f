#pragma once

#include <QObject>
#include <QPoint>

// Recorder of the last mouse events on a canvas. The canvas re-emits each event as a
// parameterless signal; listeners read position, buttons and modifiers from here.
// Positions are canvas pixels, each coordinate truncated toward zero.
class MouseC : public QObject
{
    Q_OBJECT
public:
    // Button and modifier code of a press; the values are stable.
    enum MStat {
        MLeft = 0, MLeftShift, MLeftCtrl, MLeftAlt,
        MLeftShiftCtrl, MLeftShiftAlt, MLeftCtrlAlt, MLeftShiftCtrlAlt,
        MRight, MRightShift, MRightCtrl, MRightAlt,
        MRightShiftCtrl, MRightShiftAlt, MRightCtrlAlt, MRightShiftCtrlAlt,
        MOther
    };
    Q_ENUM(MStat)

    explicit MouseC(QObject *parent = nullptr);

    static MStat stat(Qt::MouseButton button, Qt::KeyboardModifiers modifiers);
    MStat pressStat() const { return stat(pressButton, pressModifiers); }

    void recordMove(const QPointF &at, Qt::MouseButton b, Qt::KeyboardModifiers m);
    void recordPress(const QPointF &at, Qt::MouseButton b, Qt::KeyboardModifiers m);
    void recordRelease(const QPointF &at, Qt::MouseButton b, Qt::KeyboardModifiers m);
    void recordDoubleClick(const QPointF &at, Qt::MouseButton b, Qt::KeyboardModifiers m);

    QPoint prevPos, pos, pressPos, releasePos, dClickPos;
    bool pressed = false;
    // The pointer went further than kClickTolerance from pressPos since the last press:
    // the gesture is a drag, not a click, even when it ends where it began.
    bool dragged = false;
    // Pixels (Manhattan length) a hand may tremble during a click.
    static constexpr int kClickTolerance = 3;
    bool isClick() const { return !dragged; }
    Qt::MouseButton button = Qt::NoButton;
    Qt::MouseButton pressButton = Qt::NoButton;
    Qt::MouseButton releaseButton = Qt::NoButton;
    Qt::MouseButton dClickButton = Qt::NoButton;
    Qt::KeyboardModifiers modifiers;
    Qt::KeyboardModifiers pressModifiers;
    Qt::KeyboardModifiers releaseModifiers;
    Qt::KeyboardModifiers dClickModifiers;

signals:
    void mMoved();
    void mPressed();
    void mReleased();
    void mDClicked();
};
