#include "FormTesting.h"

#include "ClsCL0010GF.h"
#include "FormLook.h"
#include "ToolkitTexts.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QAction>
#include <QDialog>
#include <QImage>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>

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

namespace {

QString captionOf(QWidget *widget)
{
    if (auto *menu = qobject_cast<QMenu *>(widget))
        return menu->title();
    if (widget->isWindow())
        return widget->windowTitle();
    if (auto *label = qobject_cast<QLabel *>(widget))
        return label->text();
    if (auto *button = qobject_cast<QAbstractButton *>(widget))
        return button->text();
    return {};
}

QPalette::ColorRole textRole(QWidget *widget)
{
    if (qobject_cast<QAbstractButton *>(widget))
        return QPalette::ButtonText;
    if (qobject_cast<QLineEdit *>(widget))
        return QPalette::Text;
    return QPalette::WindowText;
}

// Where the form puts `widget`; for a window, its client area.
QRect placeOf(QWidget *widget)
{
    if (auto *main = qobject_cast<QMainWindow *>(widget))
        return main->centralWidget()->rect();
    return widget->isWindow() ? widget->rect() : widget->geometry();
}

// The form's widths were measured in "MS UI Gothic". A label is as wide as
// the form has it, or wider only where the font in use draws its text wider,
// and always shows its whole text; it keeps 4 px clear of its edit (or its
// parent's edge), and one that had to be narrowed uses all of that room.
void checkLabelWidth(QLabel *label, int formWidth)
{
    const int gap = 4;
    const int right = label->buddy() ? label->buddy()->x() : label->parentWidget()->width();
    QVERIFY(label->x() + label->width() + gap <= right);
    if (label->wordWrap()) {
        QCOMPARE(label->width(), formWidth);
        return;
    }
    QFont unstretched = label->font();
    unstretched.setStretch(QFont::AnyStretch);
    if (QFontMetrics(unstretched).horizontalAdvance(label->text()) < formWidth)
        QCOMPARE(label->width(), formWidth);
    QVERIFY(label->width() >= formWidth);
    QVERIFY2(label->fontMetrics().horizontalAdvance(label->text()) < label->width(),
             qPrintable(label->text()));
    const int stretch = label->font().stretch();
    if (stretch != QFont::AnyStretch && stretch != QFont::Unstretched)
        QCOMPARE(label->x() + label->width() + gap, right);
}

} // namespace

void addLookColumns()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QRect>("place");
    QTest::addColumn<int>("pixels");
    QTest::addColumn<QColor>("colour");
    QTest::addColumn<QColor>("background");
}

void checkLook(QWidget *window)
{
    QFETCH(QString, control);
    QFETCH(QString, caption);
    QFETCH(QRect, place);
    QFETCH(int, pixels);
    QFETCH(QColor, colour);
    QFETCH(QColor, background);
    QWidget *widget = control.isEmpty() ? window : window->findChild<QWidget *>(control);
    QVERIFY2(widget, qPrintable(control));

    if (!caption.isNull())
        QCOMPARE(captionOf(widget), caption);
    if (auto *label = qobject_cast<QLabel *>(widget)) {
        QCOMPARE(label->pos(), place.topLeft());
        QCOMPARE(label->height(), place.height());
        checkLabelWidth(label, place.width());
    } else if (!place.isNull()) {
        QCOMPARE(placeOf(widget), place);
    }

    const QFont font = widget->font();
    QCOMPARE(font.family(), QApplication::font().family());
    QCOMPARE(QFontInfo(font).family(), font.family()); // installed, not a substitute
    QCOMPARE(font.pixelSize(), pixels);
    if (colour.isValid())
        QCOMPARE(widget->palette().color(textRole(widget)), colour);

    if (widget->isWindow())
        return;
    QCOMPARE(widget->autoFillBackground(), background.isValid());
    if (background.isValid()) {
        QCOMPARE(widget->palette().color(QPalette::Window), background);
        const QImage shot = window->grab().toImage();
        QCOMPARE(QColor(shot.pixel(widget->mapTo(window, QPoint(4, 4)))), background);
    }
}

void checkOnlyMainWindowLeft()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    for (QWidget *window : QApplication::topLevelWidgets())
        QVERIFY2(!qobject_cast<QDialog *>(window), qPrintable(window->objectName()));
}

void FormTestCase::initTestCase()
{
    // As the program starts.
    FormLook::useJapaneseFont();
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

void FormTestCase::checkDialogLook(const char *action)
{
    openMain();
    bool checked = false;
    whenModal([&checked](QWidget *modal) {
        checkLook(modal);
        checked = true;
    });
    triggerAction(m_main.get(), action);
    QVERIFY(checked);
}
