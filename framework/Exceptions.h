#pragma once
// The exception classes of the framework. Each carries its message text; the application's
// central handler shows it. EAbort is the silent exception: it unwinds without a message.

#include <cstdio>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <vector>

// printf-style formatting of a message; std::string arguments are accepted for %s.
template <class... Args> std::string Format(const std::string& pattern, const Args&... args) {
    auto pass = [](const auto& a) -> decltype(auto) {
        if constexpr (std::is_same_v<std::decay_t<decltype(a)>, std::string>)
            return a.c_str();
        else
            return a;
    };
    if constexpr (sizeof...(Args) == 0) {
        return pattern;
    } else {
        const int n = std::snprintf(nullptr, 0, pattern.c_str(), pass(args)...);
        if (n <= 0)
            return pattern;
        std::vector<char> buffer(static_cast<size_t>(n) + 1);
        std::snprintf(buffer.data(), buffer.size(), pattern.c_str(), pass(args)...);
        return std::string(buffer.data(), static_cast<size_t>(n));
    }
}

class Exception : public std::exception {
public:
    explicit Exception(std::string message) : FMessage(std::move(message)) {}
    template <class... Args>
    static Exception CreateFmt(const std::string& pattern, const Args&... args) {
        return Exception(Format(pattern, args...));
    }
    const std::string& Message() const { return FMessage; }
    void SetMessage(std::string message) { FMessage = std::move(message); }
    const char* what() const noexcept override { return FMessage.c_str(); }
    virtual std::string ClassName() const { return "Exception"; }

private:
    std::string FMessage;
};

// NOLINTBEGIN(bugprone-macro-parentheses): the arguments are class names.
#define KELVOR_EXCEPTION(Name, Base)                                                               \
    class Name : public Base {                                                                     \
    public:                                                                                        \
        using Base::Base;                                                                          \
        std::string ClassName() const override { return #Name; }                                   \
    }

KELVOR_EXCEPTION(EAbort, Exception);
KELVOR_EXCEPTION(EConvertError, Exception);
KELVOR_EXCEPTION(EOutOfResources, Exception);
KELVOR_EXCEPTION(EAbstractError, Exception);
KELVOR_EXCEPTION(EOSError, Exception);
KELVOR_EXCEPTION(EInvalidOperation, Exception);
KELVOR_EXCEPTION(EListError, Exception);
KELVOR_EXCEPTION(EStringListError, Exception);
KELVOR_EXCEPTION(EComponentError, Exception);
KELVOR_EXCEPTION(EStreamError, Exception);
KELVOR_EXCEPTION(EFCreateError, EStreamError);
KELVOR_EXCEPTION(EFOpenError, EStreamError);
KELVOR_EXCEPTION(EReadError, EStreamError);
KELVOR_EXCEPTION(EWriteError, EStreamError);
KELVOR_EXCEPTION(EOutOfMemory, Exception);
KELVOR_EXCEPTION(EInvalidCast, Exception);
// NOLINTEND(bugprone-macro-parentheses)

// Message texts shared by several units.
inline constexpr const char* SAssignError = "Cannot assign a %s to a %s";
inline constexpr const char* SAbstractError = "Abstract Error";
inline constexpr const char* SFCreateError = "Cannot create file %s";
inline constexpr const char* SFOpenError = "Cannot open file %s";
inline constexpr const char* SReadError = "Stream read error";
inline constexpr const char* SWriteError = "Stream write error";
inline constexpr const char* SInvalidInteger = "'%s' is not a valid integer value";
inline constexpr const char* SInvalidCast = "Invalid class typecast";
inline constexpr const char* SListIndexError = "List index out of bounds (%d)";
inline constexpr const char* SDuplicateName = "A component named %s already exists";
inline constexpr const char* SInvalidName = "'%s' is not a valid component name";
inline constexpr const char* SMemoryStreamError = "Out of memory while expanding memory stream";

// Raised by an operation a class leaves to its descendants.
[[noreturn]] inline void AbstractError() {
    throw EAbstractError(SAbstractError);
}
