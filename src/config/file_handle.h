// An open file of the platform's file API, closed exactly once when it goes out of scope.
#pragma once

#include "platform/file.h"

class FileHandle {
public:
    explicit FileHandle(HANDLE handle) noexcept : handle_(handle) {}
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    FileHandle(FileHandle&&) = delete;
    FileHandle& operator=(FileHandle&&) = delete;
    ~FileHandle()
    {
        if (IsOpen()) {
            CloseHandle(handle_);
        }
    }

    [[nodiscard]] bool IsOpen() const noexcept
    {
        return handle_ != INVALID_HANDLE_VALUE && handle_ != nullptr;
    }
    [[nodiscard]] HANDLE Get() const noexcept { return handle_; }

private:
    HANDLE handle_;
};
