#pragma once

#include <Qt>

class QKeyEvent;
class QObject;
class QWidget;

// What the main window's and the defaults dialog's key handlers ask of a key
// press before they turn Enter into a move to the next control.
namespace FormKeys {

// Whether `object` is `window` or a widget inside it.
bool isInside(const QObject *object, const QWidget *window);

// Whether `event` is Enter (either key) with no modifier beyond `allowed`.
bool isEnter(const QKeyEvent *event, Qt::KeyboardModifiers allowed = Qt::NoModifier);

} // namespace FormKeys
