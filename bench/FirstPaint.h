#pragma once

#include <QApplication>
#include <QEvent>
#include <QMainWindow>
#include <QTimer>

#include <unistd.h>

// Ends the process once the main window's first frame has been painted and
// handed to the screen, so that the process's run time is its start-up time.
class ExitAfterFirstPaint : public QObject
{
public:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && qobject_cast<QMainWindow *>(watched) && !m_painted) {
            m_painted = true;
            QTimer::singleShot(0, [] { _exit(0); });
        }
        return false;
    }

private:
    bool m_painted = false;
};
