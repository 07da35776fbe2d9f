#include "DispA.h"

#include <QContextMenuEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

DispA::DispA(QWidget *parent) : QFrame(parent)
{
    setFrameShape(QFrame::StyledPanel);
    setMouseTracking(true);
}

void DispA::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.fillRect(0, 0, width(), height(), Qt::white);
    // y of the first range end is the bottom edge, so owners whose real y grows
    // downward (image rows) pass their y range from bottom to top.
    coord.setScreen(0, height(), width(), 0);
    emit drawImage0(&p);
    emit drawImage1(&p);
    emit drawImage2(&p);
}

void DispA::mouseMoveEvent(QMouseEvent *e)
{
    // Alt + move is left to the window manager and to the owners' own tools.
    if (e->modifiers() & Qt::AltModifier)
        return;
    mouse.recordMove(e->position(), e->button(), e->modifiers());
    emit mouseMoved0();
    update();
}

void DispA::mousePressEvent(QMouseEvent *e)
{
    mouse.recordPress(e->position(), e->button(), e->modifiers());
    emit mousePressed0();
}

void DispA::mouseReleaseEvent(QMouseEvent *e)
{
    mouse.recordRelease(e->position(), e->button(), e->modifiers());
    emit mouseReleased0();
}

void DispA::mouseDoubleClickEvent(QMouseEvent *e)
{
    mouse.recordDoubleClick(e->position(), e->button(), e->modifiers());
    emit mouseDoubleClicked0();
}

void DispA::wheelEvent(QWheelEvent *e)
{
    // One notch is 120 units of 1/8 degree, i.e. 15 degrees.
    wheelSteps = e->angleDelta().y() * 0.125 / 15;
    zoomFactor = wheelSteps < 0 ? 1.1 : 1.0 / 1.1;
    emit wheelMoved0();
}

void DispA::contextMenuEvent(QContextMenuEvent *e)
{
    const bool forMenu = e->reason() != QContextMenuEvent::Mouse || (e->modifiers() & Qt::ControlModifier);
    e->setAccepted(!forMenu);  // an ignored event goes on to the parent's menu
}
