#pragma once

// A real SOCKS5 proxy for tests: Debian's microsocks, started on 127.0.0.1 by the test.
#include <QProcess>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

namespace brisquel::test {

inline quint16 freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost);
    return probe.serverPort();
}

// A microsocks SOCKS5 proxy on 127.0.0.1 whose outgoing connections leave from `outgoing`.
class Socks
{
public:
    static bool installed()
    {
        return !QStandardPaths::findExecutable(QStringLiteral("microsocks")).isEmpty();
    }

    Socks(const QString& outgoing, const QStringList& login = {})
    {
        m_port = freePort();
        m_process.setProgram(QStringLiteral("microsocks"));
        QStringList args{QStringLiteral("-i"),    QStringLiteral("127.0.0.1"), QStringLiteral("-p"),
                         QString::number(m_port), QStringLiteral("-b"),        outgoing};
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
        for (int i = 0; i < 50; ++i) {
            QTcpSocket socket;
            socket.connectToHost(QHostAddress::LocalHost, m_port);
            if (socket.waitForConnected(100))
                return true;
            QTest::qWait(20);
        }
        return false;
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
