#include "diagnostic_lines.h"

#include <algorithm>
#include <cstring>

#include "platform.h"
#include "settings.h"

namespace kov {
namespace {

// Longest login or URL kept in a line; the rest is cut and marked.
constexpr std::size_t kQuotedLimit = 200;

const char* RequestName(RequestKind kind) {
    switch (kind) {
        case RequestKind::Poll: return "poll";
        case RequestKind::UpdateProbe: return "update probe";
        case RequestKind::OfflineSend: return "offline send";
        case RequestKind::SignIn: return "sign-in";
    }
    return "request";
}

// The reply's meaning without its body: a sign-in reply carries the token,
// and an unexpected one may carry anything.
LogLine& Outcome(LogLine& line, const ServiceReply& reply) {
    switch (reply.kind) {
        case ReplyKind::Accepted: return line << "accepted";
        case ReplyKind::Rejected: return line << "rejected (login or token)";
        case ReplyKind::Outdated: return line << "outdated (an update is offered)";
        case ReplyKind::Failure: break;
    }
    if (reply.unexpectedBytes == 0) return line << "failure (no reply)";
    return line << "failure (unexpected reply of " << reply.unexpectedBytes << " bytes)";
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
        case InstallerCheck::CheckUnavailable: return "the signature could not be checked";
        case InstallerCheck::Expired: return "the signing certificate was not valid at the signing time";
        case InstallerCheck::Revoked: return "a certificate of the signature is revoked";
        case InstallerCheck::NotForCodeSigning: return "the signing certificate is not for code signing";
        case InstallerCheck::SignatureInvalid: return "the signature or its certificate chain is not valid";
        case InstallerCheck::AmbiguousSigner: return "the signature carries two certificates for its signer";
        case InstallerCheck::OtherAuthority: return "the installer's publisher is certified by another authority";
        case InstallerCheck::NotAnInstaller: return "the file is not an installer of this agent";
        case InstallerCheck::Uninstaller: return "the file is the agent's uninstaller";
        case InstallerCheck::NotNewer: return "the installer is not newer than the running agent";
    }
    return "unknown verdict";
}

// At least `digits` digits, zeros in front.
LogLine& Padded(LogLine& line, std::uint32_t value, int digits) {
    char text[12];
    int at = sizeof text;
    std::uint32_t rest = value;
    do {
        text[--at] = static_cast<char>('0' + rest % 10);
        rest /= 10;
    } while (rest != 0 || static_cast<int>(sizeof text) - at < digits);
    return line << std::string_view(text + at, sizeof text - at);
}

}  // namespace

LogLine& LogLine::operator<<(std::string_view text) {
    const std::size_t count = std::min(text.size(), kCapacity - size_);
    std::memcpy(text_ + size_, text.data(), count);
    size_ += count;
    return *this;
}

LogLine& LogLine::operator<<(std::uint32_t number) { return Padded(*this, number, 1); }

LogLine& LogLine::Quoted(std::string_view text) {
    const std::size_t start = size_ + 1;
    *this << "\"" << text.substr(0, kQuotedLimit);
    for (std::size_t i = start; i < size_; ++i) {
        const auto byte = static_cast<unsigned char>(text_[i]);
        // A quote inside would end the quoted text early and let the rest pose as the line's own words.
        if (byte < 0x20 || byte == 0x7F || byte == '"') text_[i] = '?';
    }
    if (text.size() > kQuotedLimit) *this << "...";
    return *this << "\"";
}

LogLine StampedLine(const LineStamp& stamp, std::string_view text) {
    LogLine line;
    Padded(line, stamp.year, 4) << "-";
    Padded(line, stamp.month, 2) << "-";
    Padded(line, stamp.day, 2) << " ";
    Padded(line, stamp.hour, 2) << ":";
    Padded(line, stamp.minute, 2) << ":";
    Padded(line, stamp.second, 2) << ".";
    Padded(line, stamp.millisecond, 3) << " [" << stamp.threadId << "] " << text;
    return line;
}

LogLine StartLine(std::string_view version, const AgentSettings& settings) {
    LogLine line;
    line << "start: Kovarentis " << version << "; server ";
    line.Quoted(settings.server) << ", prefix ";
    line.Quoted(settings.prefix) << ", poll every " << static_cast<std::uint32_t>(settings.requestTimeout / 1000)
                                 << " s, away after " << static_cast<std::uint32_t>(settings.awayTimeout / 60000)
                                 << " min, update probe " << (settings.testUpdateRequest != 0 ? "on" : "off")
                                 << ", signed in " << (settings.token.empty() ? "no" : "yes");
    return line;
}

LogLine EndLine(std::string_view version) {
    LogLine line;
    line << "end: Kovarentis " << version;
    return line;
}

LogLine DroppedLinesLine(std::uint32_t count) {
    LogLine line;
    line << "log: " << count << " lines dropped (written faster than the disk took them)";
    return line;
}

LogLine ExchangeLine(const ExchangeFacts& facts) {
    LogLine line;
    line << "request to ";
    line.Quoted(facts.host) << ": ";
    if (facts.replied) {
        line << "reply of " << facts.replyBytes << " bytes";
    } else if (facts.error == 0) {
        line << "failed (no error code)";
    } else {
        line << "failed, WinINet error " << facts.error;
    }
    line << " in " << facts.elapsedMs << " ms";
    return line;
}

LogLine ReplyLine(RequestKind kind, const ServiceReply& reply) {
    LogLine line;
    line << RequestName(kind) << ": ";
    Outcome(line, reply);
    if (kind == RequestKind::Poll && reply.kind == ReplyKind::Accepted) {
        line << ", " << static_cast<std::uint32_t>(reply.messageCount) << " new messages";
    }
    return line;
}

LogLine SignInLine(std::string_view login, const ServiceReply& reply) {
    LogLine line;
    line << "sign-in as ";
    line.Quoted(login) << ": ";
    Outcome(line, reply);
    return line;
}

const char* SignInCancelledLine() { return "sign-in: dialog cancelled"; }

LogLine SignOutLine(std::string_view login) {
    LogLine line;
    line << "sign-out of ";
    line.Quoted(login);
    return line;
}

LogLine StatusLine(PresenceStatus status, bool signedOut) {
    LogLine line;
    line << "status: " << (signedOut ? "signed out" : StatusName(status));
    return line;
}

LogLine UpdateOfferedLine(std::string_view offer) {
    LogLine line;
    line << "update: offered ";
    line.Quoted(offer);
    return line;
}

LogLine UpdateRefusedLine(std::optional<InstallerCheck> verdict) {
    LogLine line;
    line << "update: refused, "
         << (verdict ? VerdictText(*verdict) : "the installer URL is not an http or https URL");
    return line;
}

const char* UpdateDeclinedLine() { return "update: declined (not asked, or answered No)"; }
const char* UpdateDownloadFailedLine() { return "update: download failed"; }
const char* UpdateStartFailedLine() { return "update: the verified installer could not be started"; }
const char* UpdateStartedLine() { return "update: installer verified and started; the agent ends"; }

LogLine WindowsFailureLine(std::string_view what, std::uint32_t error) {
    LogLine line;
    line << what << " failed: Windows error " << error;
    return line;
}

LogLine DownloadStatusLine(std::uint32_t status) {
    LogLine line;
    line << "update download: HTTP status " << status;
    return line;
}

const char* DownloadTooLargeLine() { return "update download: body over the installer size cap"; }
const char* DownloadDeadlineLine() { return "update download: not complete by its deadline"; }
const char* DownloadLeftHttpsLine() { return "update download: redirected from https to http"; }

LogLine DownloadLengthLine(std::uint32_t received, std::uint32_t announced) {
    LogLine line;
    line << "update download: body of " << received << " bytes where " << announced << " were announced";
    return line;
}

const char* TrayFailureLine(TrayFailure failure) {
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
