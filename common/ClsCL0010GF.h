#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <functional>

// The small services the windows share: where the program lives, how the
// user is told the outcome of a command, and one value of a profile file.
// The program uses the one instance, ClsCL0010GF. Profile values are bytes in
// code page 932; converting them to text is the caller's business.
class TClsCL0010GF
{
public:
    // The directory of the running executable, ending in a separator.
    QString GetApplicationDirectory() const;

    // A modal box with the caption "Kestrum", `text`, the information icon and
    // an OK button, after putting the mouse cursor back to the arrow.
    void ShowInformation(const QString &text) const;

    bool WriteProfileString(const QString &file, QByteArrayView section, QByteArrayView key,
                            QByteArrayView value) const;
    QByteArray ReadProfileString(const QString &file, QByteArrayView section, QByteArrayView key,
                                 const QByteArray &fallback) const;

    // Seams for the tests: a directory to use in place of the executable's,
    // and a handler that answers information messages instead of showing
    // them. Empty values restore the real behaviour.
    void setApplicationDirectoryForTesting(const QString &directory);
    void setInformationHandlerForTesting(std::function<void(const QString &)> handler);

private:
    QString m_testDirectory;
    std::function<void(const QString &)> m_informationHandler;
};

extern TClsCL0010GF ClsCL0010GF;
