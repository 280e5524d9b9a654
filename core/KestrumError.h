#pragma once

#include <QString>

#include <stdexcept>

// The one error class of the program. It carries the text the user reads;
// whoever catches it shows that text and nothing else.
class KestrumError : public std::runtime_error
{
public:
    explicit KestrumError(const QString &message)
        : std::runtime_error(message.toStdString())
        , m_message(message)
    { }

    const QString &message() const { return m_message; }

private:
    QString m_message;
};
