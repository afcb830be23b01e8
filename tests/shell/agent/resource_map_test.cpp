// The core's icons and commands as the program's resource and menu ids.
#include <gtest/gtest.h>

#include <set>

#include "shell/res/resource.h"
#include "shell/resource_map.h"

namespace kov {
namespace {

TEST(ResourceMapTest, EveryIconHasItsOwnResource) {
    const TrayIcon all[] = {TrayIcon::Online,      TrayIcon::Away,        TrayIcon::Offline,
                            TrayIcon::NewMessage,  TrayIcon::Connecting1, TrayIcon::Connecting2,
                            TrayIcon::Connecting3, TrayIcon::Connecting4};
    std::set<int> ids;
    for (const TrayIcon icon : all) {
        const int id = IconResourceOf(icon);
        ids.insert(id);
        EXPECT_NE(::FindResourceA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id), RT_GROUP_ICON),
                  nullptr)
            << id;
    }
    EXPECT_EQ(ids.size(), std::size(all));
    EXPECT_EQ(IconResourceOf(TrayIcon::Online), IDI_ONLINE);
    EXPECT_EQ(IconResourceOf(TrayIcon::Connecting4), IDI_CONNECTING_4);
}

TEST(ResourceMapTest, CommandsGoBothWaysAndOtherIdsAreNoCommand) {
    const Command all[] = {Command::StatusOnline, Command::StatusAway, Command::StatusOffline, Command::About,
                           Command::SignInOut,    Command::Close,      Command::OpenConsultPage};
    for (const Command command : all) EXPECT_EQ(CommandOfMenuId(MenuIdOf(command)), command);
    EXPECT_EQ(MenuIdOf(Command::StatusOnline), static_cast<UINT>(ID_STATUS_ONLINE));
    EXPECT_EQ(MenuIdOf(Command::Close), static_cast<UINT>(ID_CLOSE));
    EXPECT_EQ(MenuIdOf(Command::OpenConsultPage), static_cast<UINT>(ID_OPEN_CONSULT_PAGE));
    for (const UINT other : {0u, 299u, 306u, 999u, 1023u, 1025u}) EXPECT_FALSE(CommandOfMenuId(other)) << other;
}

}  // namespace
}  // namespace kov
