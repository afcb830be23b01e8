// A WinINet request that offers no Windows logon and no stored credentials to
// the server it reaches, wherever a redirect takes it, while the configured
// proxy may still authenticate. Called on whatever thread makes the request.
#pragma once

#include <atomic>

#include <windows.h>
#include <wininet.h>

#include "winsupport/handles.h"

namespace kov {

// Tells WinINet to keep server credentials out of this request, proxy ones
// allowed; false where it cannot (before Internet Explorer 8, and Wine).
inline bool SuppressServerLogon(HINTERNET request) {
    return ::InternetSetOptionW(request, INTERNET_OPTION_SUPPRESS_SERVER_AUTH, nullptr, 0) != FALSE;
}

// Opens requests through open(flags). Where server logon cannot be
// suppressed alone, the request is made again with all automatic logon off:
// no credentials to anyone matter more than an authenticating proxy. A
// WinINet that refused the option once refuses it for good, so later requests
// are opened that way at once instead of twice.
class WithoutServerLogon {
public:
    template <class Open>
    UniqueInternet OpenRequest(Open open, DWORD flags) {
        if (refused_.load()) return UniqueInternet(open(flags | INTERNET_FLAG_NO_AUTH));
        UniqueInternet request(open(flags));
        if (request && !SuppressServerLogon(request.Get())) {
            refused_.store(true);
            request = UniqueInternet(open(flags | INTERNET_FLAG_NO_AUTH));
        }
        return request;
    }

private:
    std::atomic<bool> refused_{false};
};

}  // namespace kov
