#pragma once

#include <QColor>
#include <QSize>

class QFrame;
class QWidget;

// What the three windows share of their looks: fonts, colours, bevels and
// labels that fit their text.
namespace FormLook {

// A fixed dialog border: of the title-bar buttons only the close box.
constexpr Qt::WindowFlags dialogFlags = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint
    | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;

inline const QColor silver { 0xC0, 0xC0, 0xC0 };
inline const QColor navy { 0x00, 0x00, 0x80 };
inline const QColor blue { 0x00, 0x00, 0xFF };

// Makes "MS UI Gothic", or where it is missing an installed Japanese Gothic
// font, the font of the whole application, so that no text shows as boxes.
// Naming an installed family outright also spares the font system a search
// for fallbacks, which is most of what a first frame would cost.
void useJapaneseFont();

// The Japanese font with characters `pixels` high, on `widget` and its children
// that do not set their own.
void setFont(QWidget *widget, int pixels);

// Widens labels whose text the font in use draws wider than the layout
// allows (the layout's widths were measured with "MS UI Gothic"), up to the
// control on their right; text that still would not fit is narrowed.
void fitLabels(QWidget *form);

void setBackground(QWidget *widget, const QColor &colour);
void setTextColour(QWidget *widget, const QColor &colour);

// Names each button of `form` for screen readers: a toolbar button by its
// hint, a push button by its caption without the access key, which the
// screen reader announces by itself ("OK(&O)" reads "OK", shortcut Alt+O).
void nameButtons(QWidget *form);

// Draws a bevel's line down the left edge of its box instead of its middle.
void drawAtLeftEdge(QFrame *bevel);

// The size of `window` with its frame and title bar, as the platform will
// draw them. The platform reports the frame once the native window exists, so
// it is created here; where the frame is known only once the window is shown
// (X11 under a window manager) this is the inner size.
QSize outerSize(QWidget *window);

} // namespace FormLook
