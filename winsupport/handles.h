#pragma once
// Owners for every kind of Windows handle the agent keeps beyond one call,
// for the network code and the shell alike. It lives in net/ because the
// network code is the lower layer: the shell includes net/, never the other
// way round. No state of its own; an owner belongs to whichever thread holds
// it, and moving it hands the handle over so that it is closed exactly once.
//
// Two verbs for every owner: Release() gives the handle up without closing
// it, Reset() closes it now (and says whether the close succeeded: a file's
// write may fail only there). Reset(other) closes and takes another.
//
// Not here: windows, which the framework's Window destroys with its object
// (shell/framework/window.h); the certificates of the installer check, freed
// through the libraries loaded for it (net/signature_api.h); and the C stream
// that reads Params.ini in the portable core, which includes no Windows header.
#include <windows.h>
#include <wininet.h>

#include <utility>

namespace kov {

// Handle: what the system returns. Closer: static bool Close(Handle), and
// static Handle Adopted(Handle), which maps the kind's "none" to null.
template <typename Handle, typename Closer>
class Owned {
public:
    Owned() = default;
    explicit Owned(Handle handle) : handle_(Closer::Adopted(handle)) {}
    ~Owned() { Reset(); }

    Owned(const Owned&) = delete;
    Owned& operator=(const Owned&) = delete;
    Owned(Owned&& other) noexcept : handle_(other.Release()) {}
    Owned& operator=(Owned&& other) noexcept {
        Reset(other.Release());
        return *this;
    }

    Handle Get() const { return handle_; }
    explicit operator bool() const { return handle_ != nullptr; }

    Handle Release() { return std::exchange(handle_, nullptr); }

    // True when nothing was held or the held handle closed cleanly.
    bool Reset(Handle handle = nullptr) {
        const Handle closing = std::exchange(handle_, Closer::Adopted(handle));
        return closing == nullptr || Closer::Close(closing);
    }

private:
    Handle handle_ = nullptr;
};

// The usual rule: a failed call returns null.
struct NullMeansNone {
    template <typename Handle>
    static Handle Adopted(Handle handle) {
        return handle;
    }
};

// The kinds whose one-argument close function returns a BOOL.
template <auto Function>
struct BoolCloser : NullMeansNone {
    template <typename Handle>
    static bool Close(Handle handle) {
        return Function(handle) != FALSE;
    }
};

// Kernel objects: threads, events, mutexes.
using UniqueHandle = Owned<HANDLE, BoolCloser<&::CloseHandle>>;

// A file from CreateFile, whose failure is INVALID_HANDLE_VALUE rather than
// null (that value is also the current process's pseudo handle, which must
// never be closed).
struct FileCloser : BoolCloser<&::CloseHandle> {
    static HANDLE Adopted(HANDLE handle) { return handle == INVALID_HANDLE_VALUE ? nullptr : handle; }
};
using UniqueFile = Owned<HANDLE, FileCloser>;

using UniqueModule = Owned<HMODULE, BoolCloser<&::FreeLibrary>>;

// An internet session, connection or request.
using UniqueInternet = Owned<HINTERNET, BoolCloser<&::InternetCloseHandle>>;

// An open registry key (never one of the predefined roots).
struct KeyCloser : NullMeansNone {
    static bool Close(HKEY key) { return ::RegCloseKey(key) == ERROR_SUCCESS; }
};
using UniqueKey = Owned<HKEY, KeyCloser>;

// An icon this program created or loaded without LR_SHARED.
using UniqueIcon = Owned<HICON, BoolCloser<&::DestroyIcon>>;
// A menu that no window owns (one loaded from a resource or made for a popup).
using UniqueMenu = Owned<HMENU, BoolCloser<&::DestroyMenu>>;
// A hook of this thread's messages.
using UniqueHook = Owned<HHOOK, BoolCloser<&::UnhookWindowsHookEx>>;

// Drawing objects; one must not be selected into a context when it is
// deleted, so declare its owner before the GdiSelection that uses it.
using UniqueBrush = Owned<HBRUSH, BoolCloser<&::DeleteObject>>;
using UniquePen = Owned<HPEN, BoolCloser<&::DeleteObject>>;
using UniqueFont = Owned<HFONT, BoolCloser<&::DeleteObject>>;
using UniqueBitmap = Owned<HBITMAP, BoolCloser<&::DeleteObject>>;
// A context from CreateCompatibleDC.
using UniqueMemoryDc = Owned<HDC, BoolCloser<&::DeleteDC>>;

// The screen's context from GetDC(nullptr).
struct ScreenDcCloser : NullMeansNone {
    static bool Close(HDC dc) { return ::ReleaseDC(nullptr, dc) == 1; }
};
using UniqueScreenDc = Owned<HDC, ScreenDcCloser>;

// Selects an object into a drawing context for one scope and puts the
// previous one back at its end.
class GdiSelection {
public:
    GdiSelection(HDC dc, HGDIOBJ object) : dc_(dc), previous_(::SelectObject(dc, object)) {}
    ~GdiSelection() {
        if (previous_) ::SelectObject(dc_, previous_);
    }
    GdiSelection(const GdiSelection&) = delete;
    GdiSelection& operator=(const GdiSelection&) = delete;

private:
    HDC dc_;
    HGDIOBJ previous_;
};

}  // namespace kov
