#pragma once

#include <QApplication>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <functional>

// Runs `check` on the modal window that the code under test is about to show,
// then makes sure that window closes, so a failed check cannot leave the test
// waiting on a dialog forever.
inline void whenModal(std::function<void(QWidget *modal)> check)
{
    QTimer::singleShot(0, qApp, [check] {
        QWidget *modal = nullptr;
        QTRY_VERIFY_WITH_TIMEOUT((modal = QApplication::activeModalWidget()) != nullptr, 5000);
        // A window manager would give the new modal window the keyboard.
        QApplication::setActiveWindow(modal);
        QVERIFY(QTest::qWaitForWindowActive(modal));
        check(modal);
        if (modal->isVisible())
            modal->close();
    });
}

// Sends `key` to whatever has the keyboard focus, as typing would.
inline void pressKey(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QWidget *target = QApplication::focusWidget();
    QVERIFY(target);
    QTest::keyClick(target, key, modifiers);
}
