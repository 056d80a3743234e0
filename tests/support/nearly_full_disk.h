#pragma once

#include "support/temp_folder.h"

#include <QFile>
#include <csignal>
#include <sys/mount.h>
#include <sys/resource.h>

// A folder on a nearly full file system, for what a full disk does to the
// files the program writes. Where the test may mount (as root), the folder is
// a small tmpfs of its own and the disk really runs full ("No space left on
// device"). Elsewhere a file size limit on the test process makes a write
// beyond the free bytes fail part-way ("File too large") in the same way.
class NearlyFullDisk {
public:
    NearlyFullDisk()
    {
        // TESSALY_TESTS_WITHOUT_MOUNT=1 tries the size-limit variant as root.
        mounted_ = qEnvironmentVariableIsEmpty("TESSALY_TESTS_WITHOUT_MOUNT")
            && ::mount("tmpfs", folder_.Path().toLocal8Bit().constData(), "tmpfs", 0, "size=2m") == 0;
    }

    ~NearlyFullDisk()
    {
        FreeSpace();
        if (mounted_)
            ::umount2(folder_.Path().toLocal8Bit().constData(), MNT_DETACH);
    }

    NearlyFullDisk(const NearlyFullDisk&) = delete;
    NearlyFullDisk& operator=(const NearlyFullDisk&) = delete;

    QString Path() const { return folder_.Path(); }
    QString File(const QString& name) const { return folder_.File(name); }
    QByteArray Read(const QString& name) const { return folder_.Read(name); }
    void Write(const QString& name, const QByteArray& bytes) const { folder_.Write(name, bytes); }

    // What the system says when a write does not fit.
    QString Reason() const { return mounted_ ? "No space left on device" : "File too large"; }

    // Later writes of more than `bytes` (in all files) fail part-way; on the
    // tmpfs `bytes` is a multiple of its 4096-byte pages.
    void LeaveFree(qint64 bytes)
    {
        if (!mounted_) {
            previousSignal_ = std::signal(SIGXFSZ, SIG_IGN);
            getrlimit(RLIMIT_FSIZE, &previousLimit_);
            const rlimit limit{rlim_t(bytes), previousLimit_.rlim_max};
            setrlimit(RLIMIT_FSIZE, &limit);
            limited_ = true;
            return;
        }
        QFile filler(File(".filler"));
        filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered);
        const QByteArray page(4096, 'f');
        while (filler.write(page) == page.size()) {
        }
        filler.resize(std::max<qint64>(0, filler.size() - bytes));
    }

    void FreeSpace()
    {
        if (limited_) {
            setrlimit(RLIMIT_FSIZE, &previousLimit_);
            std::signal(SIGXFSZ, previousSignal_);
            limited_ = false;
        }
        QFile::remove(File(".filler"));
    }

private:
    TempFolder folder_;
    bool mounted_ = false;
    bool limited_ = false;
    rlimit previousLimit_{};
    void (*previousSignal_)(int) = SIG_DFL;
};
