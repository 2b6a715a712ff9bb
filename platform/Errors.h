// The root of every exception the program raises: a message text.
#pragma once

#include <stdexcept>
#include <string>

namespace quillet {

class EQuilletError : public std::runtime_error {
public:
    explicit EQuilletError(const std::string& message) : std::runtime_error(message) {}
};

// A user's Cancel: unwinds a whole command without any message.
class EAbort : public EQuilletError {
public:
    EAbort() : EQuilletError("Operation aborted") {}
};

// Out of memory while the text grows.
class EOutOfMemory : public EQuilletError {
public:
    using EQuilletError::EQuilletError;
};

// File and stream failures (open, create, read, write), with the system's error number when
// there is one.
class EFileError : public EQuilletError {
public:
    explicit EFileError(const std::string& message, int code = 0)
        : EQuilletError(message), FCode(code) {}
    int Code() const { return FCode; }

private:
    int FCode;
};

} // namespace quillet
