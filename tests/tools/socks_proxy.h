#pragma once

// A real SOCKS5 proxy for tests: Debian's microsocks, started on 127.0.0.1 by the test.
#include <QFile>
#include <QProcess>
#include <QSet>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <dirent.h>
#include <unistd.h>

namespace brisquel::test {

// A port on which nothing listens at the moment (for a proxy that cannot be reached).
inline quint16 freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost);
    return probe.serverPort();
}

// The TCP port a process listens on, from /proc: the inodes of its sockets looked up among the
// listening sockets of /proc/net/tcp. 0 while it listens on none.
inline quint16 listeningPort(qint64 pid)
{
    QSet<QByteArray> inodes;
    const QByteArray folder = "/proc/" + QByteArray::number(pid) + "/fd";
    if (DIR* fds = ::opendir(folder.constData())) {
        while (const dirent* fd = ::readdir(fds)) {
            char target[64] = {};
            const ssize_t size =
                ::readlink((folder + '/' + fd->d_name).constData(), target, sizeof(target) - 1);
            const QByteArray link(target, size > 0 ? size : 0);
            if (link.startsWith("socket:["))
                inodes.insert(link.mid(8, link.size() - 9));
        }
        ::closedir(fds);
    }
    QFile table(QStringLiteral("/proc/net/tcp"));
    if (inodes.isEmpty() || !table.open(QIODevice::ReadOnly))
        return 0;
    // "sl local_address rem_address st ... inode": 0A is LISTEN.
    for (const QByteArray& line : table.readAll().split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() > 9 && fields.at(3) == "0A" && inodes.contains(fields.at(9)))
            return quint16(fields.at(1).mid(fields.at(1).indexOf(':') + 1).toUShort(nullptr, 16));
    }
    return 0;
}

// A microsocks SOCKS5 proxy on 127.0.0.1 whose outgoing connections leave from `outgoing`. It
// takes a port the system picks, so that no other program can take it between choice and use.
class Socks
{
public:
    static bool installed()
    {
        return !QStandardPaths::findExecutable(QStringLiteral("microsocks")).isEmpty();
    }

    Socks(const QString& outgoing, const QStringList& login = {})
    {
        m_process.setProgram(QStringLiteral("microsocks"));
        QStringList args{QStringLiteral("-i"), QStringLiteral("127.0.0.1"), QStringLiteral("-p"),
                         QStringLiteral("0"),  QStringLiteral("-b"),        outgoing};
        if (login.size() == 2)
            args << QStringLiteral("-u") << login.at(0) << QStringLiteral("-P") << login.at(1);
        m_process.setArguments(args);
        m_process.start();
    }
    ~Socks()
    {
        m_process.kill();
        m_process.waitForFinished();
    }
    // Up and accepting connections.
    bool ready()
    {
        if (!m_process.waitForStarted(3000))
            return false;
        for (int i = 0; i < 100 && m_port == 0; ++i) {
            m_port = listeningPort(m_process.processId());
            if (m_port == 0)
                QTest::qWait(20);
        }
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, m_port);
        return m_port != 0 && socket.waitForConnected(3000);
    }
    QString url(const QString& login = {}) const
    {
        const QString who = login.isEmpty() ? QString() : login + QLatin1Char('@');
        return QStringLiteral("socks5://") + who + QStringLiteral("127.0.0.1:") + QString::number(m_port);
    }

private:
    QProcess m_process;
    quint16 m_port = 0;
};

} // namespace brisquel::test
