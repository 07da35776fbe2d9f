#pragma once

#include "ui_DispAWLayout.h"

#include <QFrame>

#include <QPainter>

// A frame holding one canvas ("dispA") in a grid and forwarding all of its signals,
// so that listeners on the frame see exactly the canvas's signals.
class DispAWLayout : public QFrame, public Ui::DispAWLayout
{
    Q_OBJECT
public:
    explicit DispAWLayout(QWidget *parent = nullptr);

signals:
    void drawImage0(QPainter *p);
    void drawImage1(QPainter *p);
    void drawImage2(QPainter *p);
    void mouseMoved0();
    void mousePressed0();
    void mouseReleased0();
    void mouseDoubleClicked0();
    void wheelMoved0();
};
