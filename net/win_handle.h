#pragma once
// Owners for the file and certificate handles of the update download and its
// signature check: each closed once, on every path.
#include <windows.h>
#include <wincrypt.h>

#include <memory>
#include <type_traits>

namespace kov {

// An open file; CreateFile's INVALID_HANDLE_VALUE counts as none.
class FileHandle {
public:
    explicit FileHandle(HANDLE handle) : handle_(handle == INVALID_HANDLE_VALUE ? nullptr : handle) {}
    ~FileHandle() {
        if (handle_) ::CloseHandle(handle_);
    }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;

    HANDLE Get() const { return handle_; }
    explicit operator bool() const { return handle_ != nullptr; }
    // Closes now; true when the close succeeded (a write may fail only here).
    bool Close() {
        const bool closed = handle_ == nullptr || ::CloseHandle(handle_);
        handle_ = nullptr;
        return closed;
    }

private:
    HANDLE handle_;
};

struct CertificateFreer {
    void operator()(PCCERT_CONTEXT certificate) const { ::CertFreeCertificateContext(certificate); }
};
using Certificate = std::unique_ptr<const CERT_CONTEXT, CertificateFreer>;

struct CertStoreCloser {
    void operator()(HCERTSTORE store) const { ::CertCloseStore(store, 0); }
};
using CertStore = std::unique_ptr<std::remove_pointer_t<HCERTSTORE>, CertStoreCloser>;

struct CryptMsgCloser {
    void operator()(HCRYPTMSG message) const { ::CryptMsgClose(message); }
};
using CryptMessage = std::unique_ptr<std::remove_pointer_t<HCRYPTMSG>, CryptMsgCloser>;

struct ChainFreer {
    void operator()(PCCERT_CHAIN_CONTEXT chain) const { ::CertFreeCertificateChain(chain); }
};
using CertChain = std::unique_ptr<const CERT_CHAIN_CONTEXT, ChainFreer>;

}  // namespace kov
