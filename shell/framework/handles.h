#pragma once
// Owning wrappers for the Windows handles the shell keeps beyond one call.
#include <windows.h>

#include <utility>

namespace kov {

template <typename Handle, typename Closer>
class Owned {
public:
    Owned() = default;
    explicit Owned(Handle handle) : handle_(handle) {}
    ~Owned() { Reset(); }

    Owned(const Owned&) = delete;
    Owned& operator=(const Owned&) = delete;
    Owned(Owned&& other) noexcept : handle_(other.Detach()) {}
    Owned& operator=(Owned&& other) noexcept {
        if (this != &other) Reset(other.Detach());
        return *this;
    }

    Handle Get() const { return handle_; }
    explicit operator bool() const { return handle_ != nullptr; }

    // Gives up ownership without closing.
    Handle Detach() { return std::exchange(handle_, nullptr); }

    void Reset(Handle handle = nullptr) {
        if (handle_) Closer::Close(handle_);
        handle_ = handle;
    }

private:
    Handle handle_ = nullptr;
};

struct KernelHandleCloser {
    static void Close(HANDLE handle) { ::CloseHandle(handle); }
};
struct IconCloser {
    static void Close(HICON icon) { ::DestroyIcon(icon); }
};
struct MenuCloser {
    static void Close(HMENU menu) { ::DestroyMenu(menu); }
};

// Threads and events (null, not INVALID_HANDLE_VALUE, when creation failed).
using UniqueHandle = Owned<HANDLE, KernelHandleCloser>;
// An icon this program created or loaded without LR_SHARED.
using UniqueIcon = Owned<HICON, IconCloser>;
// A menu that no window owns (one loaded from a resource).
using UniqueMenu = Owned<HMENU, MenuCloser>;

}  // namespace kov
