#include "shell/resource_map.h"

#include <array>
#include <utility>

#include "shell/res/resource.h"

namespace kov {
namespace {

constexpr std::array<std::pair<Command, UINT>, 7> kMenuIds = {{
    {Command::StatusOnline, ID_STATUS_ONLINE},
    {Command::StatusAway, ID_STATUS_AWAY},
    {Command::StatusOffline, ID_STATUS_OFFLINE},
    {Command::About, ID_ABOUT},
    {Command::SignInOut, ID_SIGN_IN_OUT},
    {Command::Close, ID_CLOSE},
    {Command::OpenConsultPage, ID_OPEN_CONSULT_PAGE},
}};

}  // namespace

int IconResourceOf(TrayIcon icon) {
    switch (icon) {
    case TrayIcon::Online: return IDI_ONLINE;
    case TrayIcon::Away: return IDI_AWAY;
    case TrayIcon::Offline: return IDI_OFFLINE;
    case TrayIcon::NewMessage: return IDI_NEW_MESSAGE;
    case TrayIcon::Connecting1: return IDI_CONNECTING_1;
    case TrayIcon::Connecting2: return IDI_CONNECTING_2;
    case TrayIcon::Connecting3: return IDI_CONNECTING_3;
    case TrayIcon::Connecting4: return IDI_CONNECTING_4;
    }
    return IDI_ONLINE;
}

UINT MenuIdOf(Command command) {
    for (const auto& [known, id] : kMenuIds) {
        if (known == command) return id;
    }
    return 0;
}

std::optional<Command> CommandOfMenuId(UINT id) {
    for (const auto& [command, known] : kMenuIds) {
        if (known == id) return command;
    }
    return std::nullopt;
}

}  // namespace kov
