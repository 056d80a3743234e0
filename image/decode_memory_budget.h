#pragma once

#include <QtGlobal>
#include <condition_variable>
#include <mutex>

// The pixel memory all threads of a program may spend on decoding tiles at
// once. A thread takes a share before it allocates and gives it back when
// done; a share that does not fit waits. So a few huge tiles decode one
// after another instead of together, whatever the number of cores.
class DecodeMemoryBudget {
public:
    static constexpr qint64 kBytes = qint64(128) << 20;

    // Holds its bytes of the budget until destroyed.
    class Share {
    public:
        Share(DecodeMemoryBudget& budget, qint64 bytes);
        ~Share();
        Share(const Share&) = delete;
        Share& operator=(const Share&) = delete;

    private:
        DecodeMemoryBudget& budget_;
        qint64 bytes_;
    };

    // The one budget of the program.
    static DecodeMemoryBudget& ForProgram();

    explicit DecodeMemoryBudget(qint64 bytes) : free_(bytes), total_(bytes) {}

    // Shares waiting for bytes to come back.
    int Waiting() const;

private:
    mutable std::mutex mutex_;
    std::condition_variable released_;
    qint64 free_;
    qint64 total_;
    int waiting_ = 0;
};
