#pragma once
// Base of the exceptions the report library raises itself.

#include <QString>
#include <stdexcept>

class ElyrError : public std::runtime_error {
public:
    explicit ElyrError(const QString& message)
        : std::runtime_error(message.toStdString()), message_(message) {}
    const QString& Message() const { return message_; }

private:
    QString message_;
};

// A text that should have been a number (the number readers of the library).
class ElyrConvertError : public ElyrError {
public:
    using ElyrError::ElyrError;
};
