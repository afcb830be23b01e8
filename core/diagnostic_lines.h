#pragma once
// The texts of the diagnostic log's lines, composed where the event is known.
// Pure functions, any thread. A line never carries a password, its digest, a
// token or a reply body (a sign-in reply holds the token); the login and an
// offered installer URL may appear, with control characters made visible so
// that no text can forge a line of its own.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "protocol.h"

namespace kov {

// Declared, not included: platform.h's frame lists would be initialised
// again in every Windows file that writes a line.
enum class InstallerCheck;
class AgentSettings;

// One line's text in a buffer of its own: composing it allocates nothing and
// cannot throw, so the many places that write a line stay small. What goes
// beyond the capacity is cut.
class LogLine {
public:
    static constexpr std::size_t kCapacity = 640;

    LogLine& operator<<(std::string_view text);
    LogLine& operator<<(std::uint32_t number);
    // With quotes, cut at 200 characters, control characters and quotes shown as "?".
    LogLine& Quoted(std::string_view text);

    std::string_view View() const { return {text_, size_}; }
    operator std::string_view() const { return View(); }

private:
    char text_[kCapacity];
    std::size_t size_ = 0;
};

// The moment of a line, in local time, and the thread that wrote it.
struct LineStamp {
    std::uint32_t year = 0, month = 0, day = 0;
    std::uint32_t hour = 0, minute = 0, second = 0, millisecond = 0;
    std::uint32_t threadId = 0;
};

// "2026-12-07 16:20:01.123 [1234] text".
LogLine StampedLine(const LineStamp& stamp, std::string_view text);

// Start: the version and what the settings made of Params.ini.
LogLine StartLine(std::string_view version, const AgentSettings& settings);
LogLine EndLine(std::string_view version);
// Lines that came faster than the disk took them and were not kept.
LogLine DroppedLinesLine(std::uint32_t count);

// One exchange with the server as the requester saw it: a reply of some
// length, or a failure with the WinINet error (0 when Windows gave none), and
// the time it took.
struct ExchangeFacts {
    std::string host;
    bool replied = false;
    std::uint32_t replyBytes = 0;
    std::uint32_t error = 0;
    std::uint32_t elapsedMs = 0;
};
LogLine ExchangeLine(const ExchangeFacts& facts);

// What a reply meant: accepted (with the count for a poll), rejected,
// outdated, or a failure.
LogLine ReplyLine(RequestKind kind, const ServiceReply& reply);
LogLine SignInLine(std::string_view login, const ServiceReply& reply);
const char* SignInCancelledLine();
LogLine SignOutLine(std::string_view login);
// "status: online", "away", "offline", or "signed out".
LogLine StatusLine(PresenceStatus status, bool signedOut);

// Update decisions. An offer whose URL is unusable has no verdict (none).
LogLine UpdateOfferedLine(std::string_view offer);
LogLine UpdateRefusedLine(std::optional<InstallerCheck> verdict);
const char* UpdateDeclinedLine();
const char* UpdateDownloadFailedLine();
const char* UpdateStartFailedLine();
const char* UpdateStartedLine();

// A Windows call that failed where nothing else tells of it: "<what> failed:
// Windows error <error>" (what names the step, e.g. "tray: Shell_NotifyIcon
// NIM_MODIFY").
LogLine WindowsFailureLine(std::string_view what, std::uint32_t error);

// The update download's failures that carry no Windows error: a status other
// than 200, a body over the size cap, a body not complete by the deadline, a
// redirect from https to http, a body of another length than announced.
LogLine DownloadStatusLine(std::uint32_t status);
const char* DownloadTooLargeLine();
const char* DownloadDeadlineLine();
const char* DownloadLeftHttpsLine();
LogLine DownloadLengthLine(std::uint32_t received, std::uint32_t announced);

enum class TrayFailure {
    AddRefused,         // the shell refused the icon; retried every 2 s
    RetriesGivenUp,     // retried for 5 minutes; a later "TaskbarCreated" brings it
    AddedAfresh,        // add and modify refused; shown by a delete and an add
};
const char* TrayFailureLine(TrayFailure failure);

}  // namespace kov
