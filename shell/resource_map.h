#pragma once
// The core's tray icons and commands as the program's icon resources and menu
// ids (shell/res/resource.h), mapped here once. Stateless; any thread.
#include <windows.h>

#include <optional>

#include "core/platform.h"

namespace kov {

int IconResourceOf(TrayIcon icon);
UINT MenuIdOf(Command command);
// None for an id that is no command of the agent's.
std::optional<Command> CommandOfMenuId(UINT id);

}  // namespace kov
