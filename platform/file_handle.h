#pragma once

// An open file or folder of the system, closed with its owner.
class FileHandle {
public:
    explicit FileHandle(int handle = -1) : handle_(handle) {}
    ~FileHandle() { Close(); }
    FileHandle(FileHandle&& other) noexcept : handle_(other.handle_) { other.handle_ = -1; }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    FileHandle& operator=(FileHandle&& other) noexcept;

    int Get() const { return handle_; }
    bool IsOpen() const { return handle_ >= 0; }
    // Gives the handle up to a new owner, which closes it.
    int Release()
    {
        const int handle = handle_;
        handle_ = -1;
        return handle;
    }
    // Closes now; false when the system reports an error (a write that did
    // not reach the disk, on some file systems).
    bool Close();

private:
    int handle_;
};
