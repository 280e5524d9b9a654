#pragma once

#include "AppDirectory.h"
#include "FR0010MN.h"

#include <QApplication>
#include <QColor>
#include <QLineEdit>
#include <QObject>
#include <QStringList>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>

// The main window's eight edits in tab order.
inline constexpr const char *editNames[]
    = { "EdtCompanyName",    "EdtFileDescription",  "EdtFileVersion", "EdtInternalName",
        "EdtLegalCopyright", "EdtOriginalFilename", "EdtProductName", "EdtProductVersion" };

template<typename T> T *child(QWidget *parent, const char *name)
{
    T *found = parent->findChild<T *>(QLatin1String(name));
    if (!found)
        qWarning("no child %s", name);
    return found;
}

inline QLineEdit *edit(QWidget *parent, const char *name)
{
    return child<QLineEdit>(parent, name);
}

// Finds an action by object name, checks that it is enabled, then triggers it.
void triggerAction(QWidget *window, const char *name);

// What a screen reader reads for `widget`.
QString accessibleName(QWidget *widget);

enum BevelShape { Box, LeftLine };

// A lowered outer bevel with a raised inner one (Box): shadow then highlight
// along the top and left edges, the same along the right and bottom ones.
// A left line: shadow then highlight down the left edge and nothing else.
void checkBevel(QWidget *widget, BevelShape shape);

// A window's look, one control to a row of the data-driven test calling
// these: its caption, place and size in its parent, font height in pixels,
// text colour and background, as the window's form describes them. A null
// caption or an invalid colour is one the row does not check; an invalid
// background is a transparent one. The row named "" is the window itself,
// whose place is its client area. Every control is drawn in the Japanese
// font the program chose at start-up.
void addLookColumns();
void checkLook(QWidget *window);

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

// What each forms suite derives from: Qt's own texts in Japanese, a fresh
// directory standing in for the program's for each test, the messages the
// program would show collected instead of shown, and after each test a check
// that no window was left open.
// Counts the events of one type that reach `watched`.
class EventCounter : public QObject
{
public:
    EventCounter(QObject *watched, QEvent::Type type)
        : m_type(type)
    {
        watched->installEventFilter(this);
    }

    int count = 0;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        count += event->type() == m_type;
        return false;
    }

private:
    QEvent::Type m_type;
};

// A dialog that has closed is released once the event loop runs: of the
// program's windows only the main window is left.
void checkOnlyMainWindowLeft();

class FormTestCase : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

protected:
    void openMain();
    // Opens the main window, triggers `action` and checks the look of the
    // dialog it shows against the test's row (see checkLook).
    void checkDialogLook(const char *action);
    QString dirFile(const QString &name) const { return m_dir->filePath(name); }

    std::unique_ptr<TemporaryAppDirectory> m_dir;
    std::unique_ptr<TFrmFR0010MN> m_main;
    QStringList m_messages;
    std::function<void()> m_onMessage;
};
