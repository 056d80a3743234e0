#include "download/failure_class.h"

namespace {
struct RetryRule {
    int PauseMs;
    int AttemptLimit;
};

RetryRule RuleFor(FailureClass failure)
{
    switch (failure) {
    case FailureClass::ConnectionReset:
        return {0, kConnectionClassAttempts};
    case FailureClass::AddressInUse:
        return {8000, kConnectionClassAttempts};
    case FailureClass::NetworkDown:
        return {2000, kLimitedClassAttempts};
    case FailureClass::Blocked:
    case FailureClass::NotFound:
    case FailureClass::OtherFailure:
    case FailureClass::FailureWithoutText:
        break;
    }
    return {1000, kLimitedClassAttempts};
}

// Resets and address-in-use: the connection classes, retried longer.
bool IsConnectionClass(FailureClass failure)
{
    return failure == FailureClass::ConnectionReset || failure == FailureClass::AddressInUse;
}
}

FailureClass ClassifyFailure(const std::optional<QString>& failureText)
{
    if (!failureText)
        return FailureClass::FailureWithoutText;
    const QString& text = *failureText;
    const auto contains = [&text](const char* piece) { return text.contains(QLatin1String(piece)); };
    if (contains("10054") || contains("Connection Closed Gracefully"))
        return FailureClass::ConnectionReset;
    if (contains("10048"))
        return FailureClass::AddressInUse;
    if (contains("302") || contains("403"))
        return FailureClass::Blocked;
    if (contains("Socket Error"))
        return FailureClass::NetworkDown;
    if (contains("404") || contains("400"))
        return FailureClass::NotFound;
    return FailureClass::OtherFailure;
}

FailureVerdict JudgeFailure(FailureClass failure, int attemptCount)
{
    const RetryRule rule = RuleFor(failure);
    if (attemptCount < rule.AttemptLimit)
        return {true, rule.PauseMs, failure};
    return {false, 0, IsConnectionClass(failure) ? FailureClass::NetworkDown : failure};
}
