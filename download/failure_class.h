#pragma once

#include <QString>
#include <optional>

// The class of one failed GET, read from its failure text. The first five
// also name the final outcomes of a tile.
enum class FailureClass {
    ConnectionReset,     // "10054" or "Connection Closed Gracefully"
    AddressInUse,        // "10048"
    Blocked,             // "302" or "403": the server refuses this address
    NetworkDown,         // any other "Socket Error"
    NotFound,            // "404" or "400"
    OtherFailure,        // any other text
    FailureWithoutText,
};

// Tests the text in a fixed order; the first match decides, so a socket
// error 10054 is a reset, not a network failure.
FailureClass ClassifyFailure(const std::optional<QString>& failureText);

// Attempts of one tile allowed while its failures fall in the limited classes.
constexpr int kLimitedClassAttempts = 3;
// Resets and address-in-use retry longer, but a tile never holds a worker
// forever: after this many attempts the network is taken to be down.
constexpr int kConnectionClassAttempts = 20;

// What follows a failed attempt. `attemptCount` is the tile's count of
// attempts so far, whatever their classes.
struct FailureVerdict {
    bool Retry = false;
    int PauseMs = 0;                     // before the next attempt, when retrying
    FailureClass Outcome = FailureClass::OtherFailure;  // when not retrying
};
FailureVerdict JudgeFailure(FailureClass failure, int attemptCount);
