#pragma once

#include <unistd.h>

// A file descriptor closed with its owner.
class FileHandle {
public:
    explicit FileHandle(int handle = -1) : handle_(handle) {}
    ~FileHandle()
    {
        if (handle_ >= 0)
            ::close(handle_);
    }
    FileHandle(FileHandle&& other) noexcept : handle_(other.handle_) { other.handle_ = -1; }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    FileHandle& operator=(FileHandle&& other) noexcept
    {
        if (this != &other) {
            if (handle_ >= 0)
                ::close(handle_);
            handle_ = other.handle_;
            other.handle_ = -1;
        }
        return *this;
    }

    int Get() const { return handle_; }

private:
    int handle_;
};
