#include "FormLook.h"

#include <QApplication>
#include <QFontDatabase>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QToolButton>
#include <QWindow>

namespace FormLook {

namespace {

QString &japaneseFamily()
{
    static QString family = QStringLiteral("MS UI Gothic");
    return family;
}

} // namespace

void useJapaneseFont()
{
    const QStringList families
        = { QStringLiteral("MS UI Gothic"),       QStringLiteral("IPAPGothic"),
            QStringLiteral("IPAGothic"),          QStringLiteral("Noto Sans CJK JP"),
            QStringLiteral("Source Han Sans JP"), QStringLiteral("VL Gothic"),
            QStringLiteral("TakaoGothic") };
    // families() lists what is installed; hasFamily() would also look up
    // aliases, which costs the font system more than all the rest of start-up.
    const QStringList installed = QFontDatabase::families();
    for (const QString &family : families) {
        if (installed.contains(family, Qt::CaseInsensitive)) {
            japaneseFamily() = family;
            break;
        }
    }
    QFont font(japaneseFamily());
    font.setPixelSize(13);
    QApplication::setFont(font);
}

void setFont(QWidget *widget, int pixels)
{
    QFont font(japaneseFamily());
    font.setPixelSize(pixels);
    widget->setFont(font);
}

namespace {

// The room a label has up to its buddy edit, or to its parent's edge.
int roomFor(const QLabel *label)
{
    const int gap = 4;
    const int right = label->buddy() ? label->buddy()->x() : label->parentWidget()->width();
    return right - label->x() - gap;
}

} // namespace

void fitLabels(QWidget *form)
{
    for (QLabel *label : form->findChildren<QLabel *>()) {
        if (label->text().isEmpty() || label->wordWrap())
            continue;
        const int natural = label->fontMetrics().horizontalAdvance(label->text()) + 1;
        if (natural <= label->width())
            continue;
        const int room = roomFor(label);
        if (natural > room) {
            QFont narrow = label->font();
            narrow.setStretch(100 * room / natural);
            label->setFont(narrow);
        }
        label->resize(std::min(natural, room), label->height());
    }
}

void setBackground(QWidget *widget, const QColor &colour)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, colour);
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

void setTextColour(QWidget *widget, const QColor &colour)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, colour);
    palette.setColor(QPalette::ButtonText, colour);
    widget->setPalette(palette);
}

namespace {

// `caption` without its access key: "OK(&O)" gives "OK", "&Cancel" "Cancel".
QString withoutAccessKey(QString caption)
{
    const qsizetype amp = caption.indexOf(u'&');
    if (amp < 0)
        return caption;
    if (amp > 0 && caption.at(amp - 1) == u'(' && amp + 3 == caption.size()
        && caption.endsWith(u')'))
        return caption.left(amp - 1);
    return caption.remove(amp, 1);
}

} // namespace

void nameButtons(QWidget *form)
{
    for (QToolButton *button : form->findChildren<QToolButton *>())
        button->setAccessibleName(button->toolTip());
    for (QPushButton *button : form->findChildren<QPushButton *>())
        button->setAccessibleName(withoutAccessKey(button->text()));
}

void drawAtLeftEdge(QFrame *bevel)
{
    // A sunken line is two pixels wide: shadow, then highlight.
    bevel->setFrameRect(QRect(0, 0, 2, bevel->height()));
}

QSize outerSize(QWidget *window)
{
    window->winId();
    const QMargins frame = window->windowHandle()->frameMargins();
    return window->size() + QSize(frame.left() + frame.right(), frame.top() + frame.bottom());
}

} // namespace FormLook
