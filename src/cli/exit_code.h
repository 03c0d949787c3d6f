#pragma once

namespace brisquel {

// The exit status of every command of brisquel-cli. A script reads the same meaning from each.
enum class ExitCode : int
{
    Success = 0,
    Failure = 1,          // the command could not start or a file could not be read or written
    BadArguments = 2,     // an option or its value is wrong
    NotWritten = 3,       // a find, the search position or a line of standard output was not written
    NoServerAnswered = 4, // names went to servers and not one answered
    Interrupted = 130,    // Ctrl-C; the search position was saved
    OutputClosed = 141,   // the reader of standard output went away, as SIGPIPE would report it
    // extract kept its first codes, on which scripts rely: 1 for a bad option, 2 for a page that
    // could not be read.
    ExtractBadArguments = 1,
    ExtractUnreadablePage = 2,
};

constexpr int exitStatus(ExitCode code)
{
    return static_cast<int>(code);
}

} // namespace brisquel
