#pragma once

#include "ChCoord.h"
#include "MouseC.h"

#include <QFrame>

#include <QPainter>

// Drawing canvas. It paints only a white background and hands its painter to three
// ordered layers (drawImage0..2) so that several owners draw on one surface. Every
// mouse event is stored in the recorder and re-emitted as a parameterless signal.
class DispA : public QFrame
{
    Q_OBJECT
public:
    explicit DispA(QWidget *parent = nullptr);

    ChCoord coord;      // canvas pixels <-> owner's coordinates; screen range set on every paint
    MouseC mouse;       // the last mouse events
    double wheelSteps = 0.0;  // notches of the last wheel turn (one notch = 1.0)
    double zoomFactor = 1.0;  // 1.1 (backward) or 1/1.1 (forward) from the last wheel turn

signals:
    void drawImage0(QPainter *p);
    void drawImage1(QPainter *p);
    void drawImage2(QPainter *p);
    void mouseMoved0();
    void mousePressed0();
    void mouseReleased0();
    void mouseDoubleClicked0();
    void wheelMoved0();

protected slots:
    void paintEvent(QPaintEvent *p) override;
    void mouseMoveEvent(QMouseEvent *e) override;
    void mousePressEvent(QMouseEvent *e) override;
    void mouseReleaseEvent(QMouseEvent *e) override;
    void mouseDoubleClickEvent(QMouseEvent *e) override;
    void wheelEvent(QWheelEvent *e) override;
    // A right click is the owners' (it picks a point): only with Ctrl, or from the
    // keyboard, does it go on to the view's context menu.
    void contextMenuEvent(QContextMenuEvent *e) override;
};
