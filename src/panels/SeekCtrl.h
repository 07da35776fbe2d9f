#pragma once

#include "ui_SeekCtrl.h"

#include <QFrame>

// The image stepper: slider `Seek` and spin box `Index` hold the same index, the
// arrow buttons jump by 10 within 0..maximum. The owner sets both maxima to the
// number of images minus one. Every change of either is reported once by newIndex.
class SeekCtrl : public QFrame, public Ui::SeekCtrl
{
    Q_OBJECT
public:
    explicit SeekCtrl(QWidget *parent = nullptr);

    static constexpr int jump = 10;

signals:
    void newIndex(int idx);

public slots:
    void sliderMoved(int val);
    void indexChanged(int val);
    void inc();
    void dec();
};
