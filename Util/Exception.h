#pragma once

#include <cstdint>
#include <string>

namespace Ostrel::Util {

// Every failure of the system travels as one of these; Message() is the text shown to the user.
class Exception {
public:
    virtual ~Exception() = default;
    virtual std::string Message() const = 0;
};

class RuntimeError : public Exception {};

class LogicError : public Exception {};

// A condition the user can act on, with a ready sentence.
class XUsage : public RuntimeError {
public:
    explicit XUsage(std::string message) : message_(std::move(message)) {}
    std::string Message() const override;

private:
    std::string message_;
};

class XFileOpen : public RuntimeError {
public:
    XFileOpen(std::string pathName, std::string reason)
        : pathName_(std::move(pathName)), reason_(std::move(reason)) {}
    std::string Message() const override;
    const std::string& GetPathName() const { return pathName_; }
    const std::string& GetReason() const { return reason_; }

private:
    std::string pathName_;
    std::string reason_;
};

// The read, write and seek failures differ only in their verb.
class XFileAccess : public RuntimeError {
public:
    std::string Message() const override;
    const std::string& GetPathName() const { return pathName_; }

protected:
    XFileAccess(const char* verb, std::string pathName)
        : verb_(verb), pathName_(std::move(pathName)) {}

private:
    const char* verb_;
    std::string pathName_;
};

class XFileRead : public XFileAccess {
public:
    explicit XFileRead(std::string pathName) : XFileAccess("read from", std::move(pathName)) {}
};

class XFileWrite : public XFileAccess {
public:
    explicit XFileWrite(std::string pathName) : XFileAccess("write to", std::move(pathName)) {}
};

class XFileSeek : public XFileAccess {
public:
    explicit XFileSeek(std::string pathName) : XFileAccess("seek in", std::move(pathName)) {}
};

// The content of a file breaks its format; the detail is one fixed sentence of the reader.
class XFileFormat : public RuntimeError {
public:
    XFileFormat(std::string pathName, std::string detail)
        : pathName_(std::move(pathName)), detail_(std::move(detail)) {}
    std::string Message() const override;
    const std::string& GetPathName() const { return pathName_; }
    const std::string& GetDetail() const { return detail_; }

private:
    std::string pathName_;
    std::string detail_;
};

// A broken internal invariant. Raised only through AssertionFailed.
class XAssertion : public LogicError {
public:
    XAssertion(const char* expression, const char* file, std::uint32_t line)
        : expression_(expression), file_(file), line_(line) {}
    std::string Message() const override;

private:
    const char* expression_;
    const char* file_;
    std::uint32_t line_;
};

[[noreturn]] void AssertionFailed(const char* expression, const char* file, std::uint32_t line);

} // namespace Ostrel::Util

// Checks an internal invariant. The calling source file names its unit once:
//   namespace { constexpr char kSourceUnit[] = "Palette"; }
// so that the report says which unit and line failed, with the condition's own text.
#define OSTREL_ASSERT(expression)                                                                  \
    ((expression) ? static_cast<void>(0)                                                           \
                  : ::Ostrel::Util::AssertionFailed(#expression, kSourceUnit, __LINE__))
