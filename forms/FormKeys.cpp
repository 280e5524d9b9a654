#include "FormKeys.h"

#include <QKeyEvent>
#include <QWidget>

namespace FormKeys {

bool isInside(const QObject *object, const QWidget *window)
{
    return object->isWidgetType() && static_cast<const QWidget *>(object)->window() == window;
}

bool isEnter(const QKeyEvent *event, Qt::KeyboardModifiers allowed)
{
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    return enter && (modifiers & ~allowed) == Qt::NoModifier;
}

} // namespace FormKeys
