#include "ToolkitTexts.h"

#include <QCoreApplication>
#include <QTranslator>

namespace ToolkitTexts {

void useJapanese()
{
    auto *texts = new QTranslator(qApp);
    if (texts->load(QStringLiteral(":/translations/toolkit_ja.qm")))
        QCoreApplication::installTranslator(texts);
}

} // namespace ToolkitTexts
