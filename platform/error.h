#pragma once
// The one base of every exception the program raises itself.  message() is
// a text that may be shown to the user as it stands; the application's error
// handler shows it (and detail(), when there is one, under "详细信息").

#include <QString>
#include <stdexcept>

namespace velmora {

class Error : public std::runtime_error {
public:
    explicit Error(const QString &message, const QString &detail = QString())
        : std::runtime_error(message.toStdString()), m_message(message), m_detail(detail)
    {}
    const QString &message() const { return m_message; }
    // Technical text for the details only (an SQLite message, a statement).
    const QString &detail() const { return m_detail; }

private:
    QString m_message;
    QString m_detail;
};

}  // namespace velmora
