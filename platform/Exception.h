// The error type the forms raise. Whatever escapes an event handler is
// reported by TApplication as a message box with this text.
#pragma once

#include <QString>
#include <stdexcept>

class Exception : public std::runtime_error
{
public:
    explicit Exception(const QString &message)
        : std::runtime_error(message.toStdString()), m_message(message) {}

    QString message() const { return m_message; }

private:
    QString m_message;
};
