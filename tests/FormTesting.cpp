#include "FormTesting.h"

#include "ClsCL0010GF.h"
#include "ToolkitTexts.h"

#include <QAccessible>
#include <QAction>
#include <QImage>

void triggerAction(QWidget *window, const char *name)
{
    QAction *action = window->findChild<QAction *>(QLatin1String(name));
    QVERIFY2(action, name);
    QVERIFY(action->isEnabled());
    action->trigger();
}

QString accessibleName(QWidget *widget)
{
    QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(widget);
    return accessible ? accessible->text(QAccessible::Name) : u"(not accessible)"_qs;
}

void checkBevel(QWidget *widget, BevelShape shape)
{
    QVERIFY(widget);
    const QImage image = widget->grab().toImage();
    const QRgb shadow = widget->palette().color(QPalette::Dark).rgb();
    const QRgb highlight = widget->palette().color(QPalette::Light).rgb();
    const int w = image.width();
    const int h = image.height();
    const auto at = [&image](int x, int y) { return image.pixel(x, y); };
    QCOMPARE(at(0, h / 2), shadow);
    QCOMPARE(at(1, h / 2), highlight);
    if (shape == Box) {
        QCOMPARE(at(w / 2, 0), shadow);
        QCOMPARE(at(w / 2, 1), highlight);
        QCOMPARE(at(w - 2, h / 2), shadow);
        QCOMPARE(at(w - 1, h / 2), highlight);
        QCOMPARE(at(w / 2, h - 2), shadow);
        QCOMPARE(at(w / 2, h - 1), highlight);
    } else {
        for (int x = 2; x < w; ++x) {
            QVERIFY(at(x, h / 2) != shadow);
            QVERIFY(at(x, h / 2) != highlight);
        }
    }
}

void FormTestCase::initTestCase()
{
    ToolkitTexts::useJapanese();
}

void FormTestCase::init()
{
    m_dir = std::make_unique<TemporaryAppDirectory>();
    QVERIFY(m_dir->isValid());
    m_messages.clear();
    m_onMessage = nullptr;
    ClsCL0010GF.setInformationHandlerForTesting([this](const QString &text) {
        m_messages << text;
        if (m_onMessage)
            m_onMessage();
    });
}

void FormTestCase::cleanup()
{
    m_main.reset();
    FrmFR0010MN = nullptr;
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    const QWidgetList leftOver = QApplication::topLevelWidgets();
    QVERIFY2(leftOver.isEmpty(),
             qPrintable(leftOver.value(0) ? leftOver.value(0)->objectName() : QString()));
    ClsCL0010GF.setInformationHandlerForTesting(nullptr);
    m_dir.reset();
}

void FormTestCase::openMain()
{
    m_main = std::make_unique<TFrmFR0010MN>();
    FrmFR0010MN = m_main.get();
    m_main->show();
    QApplication::setActiveWindow(m_main.get());
    QVERIFY(QTest::qWaitForWindowActive(m_main.get()));
}
