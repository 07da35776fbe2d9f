#include "ClosableBase.h"

#include <QCloseEvent>

ClosableBase::ClosableBase(QWidget *parent)
    : QFrame(parent)
{
}

void ClosableBase::closeEvent(QCloseEvent *event)
{
    // The base only accepts the event, which arrives accepted already; called all
    // the same, so that the frame keeps closing if that ever changes.
    QFrame::closeEvent(event);
    emit closed();
}
