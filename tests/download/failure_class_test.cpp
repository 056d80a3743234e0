#include "download/failure_class.h"
#include "download/failure_reason.h"
#include "download/socket_error_text.h"

#include <gtest/gtest.h>

TEST(ClassifyFailure, TheFirstMatchingTestInTheFixedOrderDecides)
{
    const struct {
        std::optional<QString> text;
        FailureClass expected;
    } cases[] = {
        {QStringLiteral("Socket Error # 10054\r\nConnection reset by peer."), FailureClass::ConnectionReset},
        {QStringLiteral("Connection Closed Gracefully."), FailureClass::ConnectionReset},
        {QStringLiteral("Socket Error # 10048\r\nAddress already in use."), FailureClass::AddressInUse},
        {QStringLiteral("HTTP/1.1 302 Found"), FailureClass::Blocked},
        {QStringLiteral("HTTP/1.1 403 Forbidden"), FailureClass::Blocked},
        {QStringLiteral("Socket Error # 10060\r\nConnection timed out."), FailureClass::NetworkDown},
        {QStringLiteral("Socket Error # 10061\r\nConnection refused."), FailureClass::NetworkDown},
        {QStringLiteral("Socket Error # 11001\r\nHost not found."), FailureClass::NetworkDown},
        {QStringLiteral("HTTP/1.1 404 Not Found"), FailureClass::NotFound},
        {QStringLiteral("HTTP/1.1 400 Bad Request"), FailureClass::NotFound},
        {QStringLiteral("HTTP/1.1 500 Internal Server Error"), FailureClass::OtherFailure},
        {QStringLiteral("The reply body is larger than 16 MiB and was refused."), FailureClass::OtherFailure},
        {QString(), FailureClass::OtherFailure},
        {std::nullopt, FailureClass::FailureWithoutText},
        // Earlier tests win over later ones.
        {QStringLiteral("HTTP/1.1 403 10054"), FailureClass::ConnectionReset},
        {QStringLiteral("HTTP/1.1 404 connection closed gracefully"), FailureClass::NotFound},  // case counts
        {QStringLiteral("Socket Error # 10053\r\n403"), FailureClass::Blocked},
        {QStringLiteral("HTTP/1.1 500 Socket Error 404"), FailureClass::NetworkDown},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ClassifyFailure(c.text), c.expected) << c.text.value_or(QStringLiteral("<none>")).toStdString();
}

TEST(JudgeFailure, LimitedClassesRetryTwiceWithTheirPausesThenEndInTheirOwnOutcome)
{
    const struct {
        FailureClass failure;
        int pauseMs;
    } limited[] = {{FailureClass::Blocked, 1000}, {FailureClass::NetworkDown, 2000}, {FailureClass::NotFound, 1000},
        {FailureClass::OtherFailure, 1000}, {FailureClass::FailureWithoutText, 1000}};
    for (const auto& c : limited) {
        for (int attempt = 1; attempt <= 2; ++attempt) {
            const FailureVerdict verdict = JudgeFailure(c.failure, attempt);
            EXPECT_TRUE(verdict.Retry);
            EXPECT_EQ(verdict.PauseMs, c.pauseMs);
        }
        const FailureVerdict last = JudgeFailure(c.failure, 3);
        EXPECT_FALSE(last.Retry);
        EXPECT_EQ(last.Outcome, c.failure);
    }
}

TEST(JudgeFailure, ConnectionClassesRetryUpToTheirBoundThenTheNetworkIsTakenToBeDown)
{
    for (int attempt = 1; attempt < kConnectionClassAttempts; ++attempt) {
        EXPECT_EQ(JudgeFailure(FailureClass::ConnectionReset, attempt).PauseMs, 0);
        EXPECT_TRUE(JudgeFailure(FailureClass::ConnectionReset, attempt).Retry);
        EXPECT_EQ(JudgeFailure(FailureClass::AddressInUse, attempt).PauseMs, 8000);
        EXPECT_TRUE(JudgeFailure(FailureClass::AddressInUse, attempt).Retry);
    }
    for (const FailureClass failure : {FailureClass::ConnectionReset, FailureClass::AddressInUse}) {
        const FailureVerdict verdict = JudgeFailure(failure, kConnectionClassAttempts);
        EXPECT_FALSE(verdict.Retry);
        EXPECT_EQ(verdict.Outcome, FailureClass::NetworkDown);
    }
}

TEST(JudgeFailure, TheAttemptCountIsSharedByAllClassesOfATile)
{
    // Two resets, then a 403 on the third attempt: Blocked at once.
    EXPECT_FALSE(JudgeFailure(FailureClass::Blocked, 3).Retry);
    // A 404 after five resets ends the tile at once as well.
    const FailureVerdict verdict = JudgeFailure(FailureClass::NotFound, 6);
    EXPECT_FALSE(verdict.Retry);
    EXPECT_EQ(verdict.Outcome, FailureClass::NotFound);
}

// The reasons a summary groups failures by, from the failure texts the
// client gives.
TEST(FailureReasonText, NamesTheStatusOrTheServerThatWouldNotTalk)
{
    const QString url = QStringLiteral("http://127.0.0.1:19999/4/8/7.png");
    EXPECT_EQ(FailureReasonText(QStringLiteral("HTTP/1.1 500 Internal Server Error"), url), "HTTP 500");
    EXPECT_EQ(FailureReasonText(QStringLiteral("HTTP/2 503"), url), "HTTP 503");
    EXPECT_EQ(FailureReasonText(SocketErrorText(WindowsSocketError::ConnectionRefused), url),
        "connection refused by 127.0.0.1:19999");
    EXPECT_EQ(FailureReasonText(SocketErrorText(WindowsSocketError::ConnectionReset), url),
        "connection reset by 127.0.0.1:19999");
    EXPECT_EQ(FailureReasonText(SocketErrorText(WindowsSocketError::HostNotFound),
                  QStringLiteral("https://tiles.example.org/1/0/0.png")),
        "host not found (tiles.example.org:443)");
    EXPECT_EQ(FailureReasonText(QStringLiteral("Connection Closed Gracefully."), url),
        "connection closed by 127.0.0.1:19999");
    EXPECT_EQ(FailureReasonText(QString(), url), "no reason given");
    // Digits of an address never read as a status.
    EXPECT_EQ(FailureReasonText(QStringLiteral("The reply body is larger than 8 MiB and was refused."), url),
        "the reply body is larger than 8 MiB and was refused");
}
