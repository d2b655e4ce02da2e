#pragma once
// Base of the exceptions the report library raises itself: one of the
// program's own errors, whose text Message() (= message()) gives.

#include "platform/error.h"

#include <QString>

class ElyrError : public velmora::Error {
public:
    explicit ElyrError(const QString &message) : velmora::Error(message) {}
    const QString &Message() const { return message(); }
};

// A text that should have been a number (the number readers of the library).
class ElyrConvertError : public ElyrError {
public:
    using ElyrError::ElyrError;
};

// An expression that could not be compiled or run; its line is already in
// the report's errors.
class ElyrExpressionError : public ElyrError {
public:
    using ElyrError::ElyrError;
};
