#pragma once

#include "ClosableBase.h"
#include "ui_PopDockBase.h"

#include <QFrame>
#include <QPointer>

class QGridLayout;

// A frame whose content can be moved out into a window of its own and back with the
// "Pop/Dock" button. Docked is the initial state: `popBase` hidden, `content` in the
// grid "Layout". Closing the pop-out window docks the content again.
//
// An owner installs its view by setting `content`, adding it to `Layout` and giving
// `popBase` the window title of the popped-out view.
class PopDockBase : public QFrame, public Ui::PopDockBase
{
    Q_OBJECT
public:
    explicit PopDockBase(QWidget *parent = nullptr);

    QPointer<QWidget> content; // cleared by itself when the owner deletes the view
    ClosableBase popBase;

signals:
    void closed();

public slots:
    void popDock();
    void moveToDockBase();
    void moveToPopBase();
    // Brings the content before the user's eyes: raises the pop-out window, or, docked,
    // makes every tab on the way up show the page that holds this frame.
    void bringToFront();

private:
    QGridLayout *popLayout;
};
