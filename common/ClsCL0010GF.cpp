#include "ClsCL0010GF.h"

#include "ProfileFile.h"

#include <QApplication>
#include <QDir>
#include <QMessageBox>

TClsCL0010GF ClsCL0010GF;

QString TClsCL0010GF::GetApplicationDirectory() const
{
    const QString directory
        = m_testDirectory.isEmpty() ? QCoreApplication::applicationDirPath() : m_testDirectory;
    return QDir::toNativeSeparators(QDir(directory).absolutePath() + u'/');
}

void TClsCL0010GF::ShowInformation(const QString &text) const
{
    while (QApplication::overrideCursor())
        QApplication::restoreOverrideCursor();

    if (m_informationHandler) {
        m_informationHandler(text);
        return;
    }
    QMessageBox box(QMessageBox::Information, QStringLiteral("Kestrum"), text, QMessageBox::Ok,
                    QApplication::activeWindow());
    box.setObjectName(QStringLiteral("InformationBox"));
    // A message may quote a path or a typed value; "<b>" in one is text.
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

bool TClsCL0010GF::WriteProfileString(const QString &file, QByteArrayView section,
                                      QByteArrayView key, QByteArrayView value) const
{
    return ProfileFile::write(file, section, key, value);
}

QByteArray TClsCL0010GF::ReadProfileString(const QString &file, QByteArrayView section,
                                           QByteArrayView key, const QByteArray &fallback) const
{
    return ProfileFile::read(file, section, key, fallback);
}

void TClsCL0010GF::setApplicationDirectoryForTesting(const QString &directory)
{
    m_testDirectory = directory;
}

void TClsCL0010GF::setInformationHandlerForTesting(std::function<void(const QString &)> handler)
{
    m_informationHandler = std::move(handler);
}
