#pragma once

#include <QIcon>
#include <QLatin1String>

// The program's pictures, each with versions drawn for other sizes: the
// toolbar glyphs and the title for display scales of 125 to 200 %, the
// program icon from 16 to 256 pixels. QIcon hands out the version made for
// the size asked, unscaled, and a version is decoded only when first asked
// for, so start-up reads just the ones the screen needs.
namespace Pictures {

// A toolbar glyph or the title bitmap by name ("make", "title").
QIcon picture(QLatin1String name);

QIcon programIcon();

} // namespace Pictures
