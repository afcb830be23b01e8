// A WinINet request that offers no Windows logon and no stored credentials to
// the server it reaches, wherever a redirect takes it, while the configured
// proxy may still authenticate. Called on whatever thread makes the request.
#pragma once

#include <windows.h>
#include <wininet.h>

#include "winsupport/handles.h"

namespace kov {

// Tells WinINet to keep server credentials out of this request, proxy ones
// allowed; false where it cannot (before Internet Explorer 8, and Wine).
inline bool SuppressServerLogon(HINTERNET request) {
    return ::InternetSetOptionW(request, INTERNET_OPTION_SUPPRESS_SERVER_AUTH, nullptr, 0) != FALSE;
}

// open(flags) makes the request. Where server logon cannot be suppressed
// alone, the request is made again with all automatic logon off: no
// credentials to anyone matter more than an authenticating proxy.
template <class Open>
UniqueInternet OpenWithoutServerLogon(Open open, DWORD flags) {
    UniqueInternet request(open(flags));
    if (request && !SuppressServerLogon(request.Get())) request = UniqueInternet(open(flags | INTERNET_FLAG_NO_AUTH));
    return request;
}

}  // namespace kov
