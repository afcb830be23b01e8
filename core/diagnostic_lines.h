#pragma once
// The texts of the diagnostic log's lines, composed where the event is known.
// Pure functions, any thread. A line never carries a password, its digest, a
// token or a reply body (a sign-in reply holds the token); the login and an
// offered installer URL may appear, with control characters made visible so
// that no text can forge a line of its own.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform.h"
#include "protocol.h"
#include "settings.h"

namespace kov {

// The moment of a line, in local time, and the thread that wrote it.
struct LineStamp {
    int year = 0, month = 0, day = 0;
    int hour = 0, minute = 0, second = 0, millisecond = 0;
    std::uint32_t threadId = 0;
};

// "2026-12-07 16:20:01.123 [1234] text".
std::string StampedLine(const LineStamp& stamp, std::string_view text);

// Start: the version and what the settings made of Params.ini.
std::string StartLine(std::string_view version, const AgentSettings& settings);
std::string EndLine(std::string_view version);
// Lines that came faster than the disk took them and were not kept.
std::string DroppedLinesLine(std::uint64_t count);

// One exchange with the server as the requester saw it: a reply of some
// length, or a failure with the WinINet error (0 when Windows gave none), and
// the time it took.
struct ExchangeFacts {
    std::string host;
    bool replied = false;
    std::size_t replyBytes = 0;
    std::uint32_t error = 0;
    std::uint64_t elapsedMs = 0;
};
std::string ExchangeLine(const ExchangeFacts& facts);

enum class RequestKind { Poll, UpdateProbe, OfflineSend };
// What a reply meant: accepted (with the count for a poll), rejected,
// outdated, or a failure.
std::string ReplyLine(RequestKind kind, std::string_view reply);
std::string SignInLine(std::string_view login, std::string_view reply);
std::string SignInCancelledLine();
std::string SignOutLine(std::string_view login);
// "status: online", "away", "offline", or "signed out".
std::string StatusLine(PresenceStatus status, bool signedOut);

// Update decisions. An offer whose URL is unusable has no verdict (none).
std::string UpdateOfferedLine(std::string_view offer);
std::string UpdateRefusedLine(std::optional<InstallerCheck> verdict);
std::string UpdateDeclinedLine();
std::string UpdateDownloadFailedLine();
std::string UpdateStartFailedLine();
std::string UpdateStartedLine();

enum class TrayFailure {
    AddRefused,         // the shell refused the icon; retried every 2 s
    RetriesGivenUp,     // retried for 5 minutes; a later "TaskbarCreated" brings it
    AddedAfresh,        // add and modify refused; shown by a delete and an add
};
std::string TrayFailureLine(TrayFailure failure);

}  // namespace kov
