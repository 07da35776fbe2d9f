#pragma once

#include <QFrame>

// A top-level frame that tells its owner when the user closes it. The close goes
// ahead as usual (the window hides); the owner decides what to do with its content.
class ClosableBase : public QFrame
{
    Q_OBJECT
public:
    explicit ClosableBase(QWidget *parent = nullptr);

signals:
    void closed();

protected:
    void closeEvent(QCloseEvent *event) override;
};
