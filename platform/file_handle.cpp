#include "platform/file_handle.h"

#include <unistd.h>

FileHandle& FileHandle::operator=(FileHandle&& other) noexcept
{
    if (this != &other) {
        Close();
        handle_ = other.handle_;
        other.handle_ = -1;
    }
    return *this;
}

bool FileHandle::Close()
{
    if (handle_ < 0)
        return true;
    const int closed = ::close(handle_);
    handle_ = -1;
    return closed == 0;
}
