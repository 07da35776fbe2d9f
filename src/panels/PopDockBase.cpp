#include "PopDockBase.h"

#include <QGridLayout>
#include <QTabWidget>

PopDockBase::PopDockBase(QWidget *parent)
    : QFrame(parent), popLayout(new QGridLayout(&popBase))
{
    setupUi(this);
    popBase.resize(500, 500);
    // Closing the pop-out window docks the view; it never ends the program.
    popBase.setAttribute(Qt::WA_QuitOnClose, false);
    connect(PopDock, &QPushButton::clicked, this, &PopDockBase::popDock);
    connect(&popBase, &ClosableBase::closed, this, &PopDockBase::moveToDockBase);
}

void PopDockBase::popDock()
{
    popBase.setVisible(!popBase.isVisible());
    if (popBase.isVisible())
        moveToPopBase();
    else
        moveToDockBase();
}

// Adding a widget to a layout takes it from wherever it was: the content leaves the
// other place by itself. Cell (0, 0) is where the owner installed it.
void PopDockBase::moveToDockBase()
{
    if (content)
        Layout->addWidget(content, 0, 0);
}

void PopDockBase::moveToPopBase()
{
    if (content)
        popLayout->addWidget(content, 0, 0);
}

void PopDockBase::bringToFront()
{
    if (popBase.isVisible()) {
        popBase.raise();
        popBase.activateWindow();
        return;
    }
    for (QWidget *up = parentWidget(); up; up = up->parentWidget())
        if (auto *tabs = qobject_cast<QTabWidget *>(up))
            for (int i = 0; i < tabs->count(); ++i)
                if (tabs->widget(i)->isAncestorOf(this))
                    tabs->setCurrentIndex(i);
}
