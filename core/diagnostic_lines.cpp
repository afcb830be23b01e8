#include "diagnostic_lines.h"

#include <cstdio>

namespace kov {
namespace {

// Longest login or URL kept in a line; the rest is cut and marked.
constexpr std::size_t kQuotedLimit = 200;

std::string Number(std::uint64_t value) { return std::to_string(value); }

// Control characters (a CR or LF would start a line of its own) become "?".
std::string Quoted(std::string_view text) {
    std::string quoted = "\"";
    for (const char c : text.substr(0, kQuotedLimit)) {
        const auto byte = static_cast<unsigned char>(c);
        quoted += byte < 0x20 || byte == 0x7F ? '?' : c;
    }
    if (text.size() > kQuotedLimit) quoted += "...";
    return quoted + "\"";
}

const char* RequestName(RequestKind kind) {
    switch (kind) {
        case RequestKind::Poll: return "poll";
        case RequestKind::UpdateProbe: return "update probe";
        case RequestKind::OfflineSend: return "offline send";
    }
    return "request";
}

// The reply's meaning without its body: a sign-in reply carries the token,
// and an unexpected one may carry anything.
std::string Outcome(std::string_view reply) {
    const std::optional<char> code = ReplyCode(reply);
    if (!code) return "failure (no reply)";
    switch (*code) {
        case '0': return "accepted";
        case '1': return "rejected (login or token)";
        case '2': return "outdated (an update is offered)";
        default: return "failure (unexpected reply of " + Number(reply.size()) + " bytes)";
    }
}

const char* StatusName(PresenceStatus status) {
    switch (status) {
        case PresenceStatus::Online: return "online";
        case PresenceStatus::Away: return "away";
        case PresenceStatus::Offline: return "offline";
    }
    return "unknown";
}

const char* VerdictText(InstallerCheck verdict) {
    switch (verdict) {
        case InstallerCheck::Authentic: return "authentic";
        case InstallerCheck::Unsigned: return "the installer is not signed";
        case InstallerCheck::AlteredAfterSigning: return "the installer was altered after signing";
        case InstallerCheck::OtherPublisher: return "the installer is signed by another publisher";
        case InstallerCheck::AgentUnsigned: return "the running agent is not signed";
    }
    return "unknown verdict";
}

}  // namespace

std::string StampedLine(const LineStamp& stamp, std::string_view text) {
    char head[64];
    std::snprintf(head, sizeof head, "%04d-%02d-%02d %02d:%02d:%02d.%03d [%lu] ", stamp.year, stamp.month,
                  stamp.day, stamp.hour, stamp.minute, stamp.second, stamp.millisecond,
                  static_cast<unsigned long>(stamp.threadId));
    return head + std::string(text);
}

std::string StartLine(std::string_view version, const AgentSettings& settings) {
    return "start: Kovarentis " + std::string(version) + "; server " + Quoted(settings.server) + ", prefix " +
           Quoted(settings.prefix) + ", poll every " + Number(settings.requestTimeout / 1000) +
           " s, away after " + Number(settings.awayTimeout / 60000) + " min, update probe " +
           (settings.testUpdateRequest != 0 ? "on" : "off") + ", stored login " +
           (settings.login.empty() ? "none" : Quoted(settings.login)) + ", stored token " +
           (settings.token.empty() ? "no" : "yes");
}

std::string EndLine(std::string_view version) { return "end: Kovarentis " + std::string(version); }

std::string DroppedLinesLine(std::uint64_t count) {
    return "log: " + Number(count) + " lines dropped (written faster than the disk took them)";
}

std::string ExchangeLine(const ExchangeFacts& facts) {
    const std::string head = "request to " + Quoted(facts.host) + ": ";
    const std::string took = " in " + Number(facts.elapsedMs) + " ms";
    if (facts.replied) return head + "reply of " + Number(facts.replyBytes) + " bytes" + took;
    if (facts.error == 0) return head + "failed (no error code)" + took;
    return head + "failed, WinINet error " + Number(facts.error) + took;
}

std::string ReplyLine(RequestKind kind, std::string_view reply) {
    std::string line = std::string(RequestName(kind)) + ": " + Outcome(reply);
    if (kind == RequestKind::Poll && ReplyCode(reply) == '0') {
        line += ", " + Number(static_cast<std::uint64_t>(ReplyMessageCount(reply))) + " new messages";
    }
    return line;
}

std::string SignInLine(std::string_view login, std::string_view reply) {
    return "sign-in as " + Quoted(login) + ": " + Outcome(reply);
}

std::string SignInCancelledLine() { return "sign-in: dialog cancelled"; }

std::string SignOutLine(std::string_view login) { return "sign-out of " + Quoted(login); }

std::string StatusLine(PresenceStatus status, bool signedOut) {
    return std::string("status: ") + (signedOut ? "signed out" : StatusName(status));
}

std::string UpdateOfferedLine(std::string_view offer) { return "update: offered " + Quoted(offer); }

std::string UpdateRefusedLine(std::optional<InstallerCheck> verdict) {
    return std::string("update: refused, ") +
           (verdict ? VerdictText(*verdict) : "the installer URL is not an http or https URL");
}

std::string UpdateDeclinedLine() { return "update: declined (not asked, or answered No)"; }
std::string UpdateDownloadFailedLine() { return "update: download failed"; }
std::string UpdateStartFailedLine() { return "update: the verified installer could not be started"; }
std::string UpdateStartedLine() { return "update: installer verified and started; the agent ends"; }

std::string TrayFailureLine(TrayFailure failure) {
    switch (failure) {
        case TrayFailure::AddRefused:
            return "tray: the shell refused the icon; trying again every 2 s for 5 minutes";
        case TrayFailure::RetriesGivenUp:
            return "tray: the icon was still refused after 5 minutes; waiting for the shell to restart";
        case TrayFailure::AddedAfresh:
            return "tray: the shell refused both the add and the modify; the icon was deleted and added afresh";
    }
    return "tray: failure";
}

}  // namespace kov
