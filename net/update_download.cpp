#include "net/update_download.h"

#include <windows.h>
#include <shellapi.h>
#include <shlwapi.h>
#include <urlmon.h>

#include <cstdio>
#include <memory>
#include <type_traits>

#include "core/texts.h"

namespace kov {
namespace {

struct ModuleFreer {
    void operator()(HMODULE module) const { ::FreeLibrary(module); }
};
using LoadedModule = std::unique_ptr<std::remove_pointer_t<HMODULE>, ModuleFreer>;

}  // namespace

std::optional<std::string> InstallerPath() {
    char buffer[MAX_PATH] = {};
    const DWORD length = GetTempPathA(MAX_PATH, buffer);
    if (length == 0 || length > MAX_PATH) return std::nullopt;
    if (!PathAppendA(buffer, kInstallerFileName)) return std::nullopt;
    return std::string(buffer);
}

// The URL library (with the COM runtime it brings) is loaded only for the
// download: an agent that is never outdated should not carry it all day.
bool DownloadToFile(const std::string& url, const std::string& path) {
    const LoadedModule urlmon(::LoadLibraryA("urlmon.dll"));
    if (!urlmon) return false;
    const auto download = reinterpret_cast<decltype(&URLDownloadToFileA)>(
        reinterpret_cast<void*>(::GetProcAddress(urlmon.get(), "URLDownloadToFileA")));
    return download && download(nullptr, url.c_str(), path.c_str(), 0, nullptr) == S_OK;
}

bool StartsWithMz(const std::string& path) {
    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
    if (!file) return false;
    char mark[2] = {};
    return std::fread(mark, 1, 2, file.get()) == 2 && mark[0] == 'M' && mark[1] == 'Z';
}

bool OpenWithShell(const std::string& file) {
    const auto result = reinterpret_cast<INT_PTR>(
        ShellExecuteA(nullptr, "open", file.c_str(), "", "", SW_SHOW));
    return result > 32;
}

}  // namespace kov
