#pragma once
// Owns one WinINet handle (internet, connection or request) and closes it once.
#include <windows.h>
#include <wininet.h>

#include <utility>

namespace kov {

class WinInetHandle {
public:
    WinInetHandle() = default;
    explicit WinInetHandle(HINTERNET handle) : handle_(handle) {}
    ~WinInetHandle() { Close(); }

    WinInetHandle(const WinInetHandle&) = delete;
    WinInetHandle& operator=(const WinInetHandle&) = delete;
    WinInetHandle(WinInetHandle&& other) noexcept : handle_(other.Release()) {}
    WinInetHandle& operator=(WinInetHandle&& other) noexcept {
        if (this != &other) {
            Close();
            handle_ = other.Release();
        }
        return *this;
    }

    HINTERNET Get() const { return handle_; }
    explicit operator bool() const { return handle_ != nullptr; }

    // Gives up ownership without closing.
    HINTERNET Release() { return std::exchange(handle_, nullptr); }

    void Close() {
        if (handle_ != nullptr) {
            InternetCloseHandle(Release());
        }
    }

private:
    HINTERNET handle_ = nullptr;
};

}  // namespace kov
