#pragma once

#include <QApplication>
#include <QTimer>
#include <QWidget>

// True when closing the window, the only one shown, ends the event loop as the
// program's last window would.
inline bool closingEndsTheProgram(QWidget &window)
{
    constexpr int notEnded = 7;
    QTimer::singleShot(0, &window, [&window]() { window.close(); });
    QTimer::singleShot(300, qApp, []() { qApp->exit(notEnded); });
    return qApp->exec() != notEnded;
}
