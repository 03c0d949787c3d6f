#include "cli_output.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace brisquel {

void printError(const QString& message)
{
    std::fprintf(stderr, "brisquel-cli: %s\n", qPrintable(message));
}

StandardOutput::StandardOutput()
{
    open(QIODevice::WriteOnly | QIODevice::Unbuffered);
}

bool StandardOutput::print(const QByteArray& bytes)
{
    return write(bytes) == bytes.size() && !failed();
}

ExitCode StandardOutput::reportFailure() const
{
    if (m_errno == EPIPE)
        return ExitCode::OutputClosed;
    printError(QStringLiteral("cannot write to standard output: %1")
                   .arg(QString::fromLocal8Bit(std::strerror(m_errno))));
    return ExitCode::NotWritten;
}

qint64 StandardOutput::readData(char*, qint64)
{
    return -1;
}

qint64 StandardOutput::writeData(const char* data, qint64 size)
{
    if (failed())
        return -1;
    errno = 0;
    // Flushed at once: a full disk or a closed pipe shows here and not at the end of the run.
    if (std::fwrite(data, 1, size_t(size), stdout) != size_t(size) || std::fflush(stdout) != 0) {
        m_errno = errno != 0 ? errno : EIO;
        setErrorString(QString::fromLocal8Bit(std::strerror(m_errno)));
        return -1;
    }
    return size;
}

} // namespace brisquel
