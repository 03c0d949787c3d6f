#pragma once

// Debian's microsocks as a SOCKS5 proxy on 127.0.0.1, started and stopped by a test.
#include <QHostAddress>
#include <QProcess>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

namespace brisquel::test {

class MicrosocksProcess
{
public:
    static bool installed()
    {
        return !QStandardPaths::findExecutable(QStringLiteral("microsocks")).isEmpty();
    }

    // A port nothing listens on (at the moment of asking).
    static quint16 unusedPort()
    {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost);
        return probe.serverPort();
    }

    MicrosocksProcess()
        : m_port(unusedPort())
    {
        m_process.start(QStringLiteral("microsocks"), {QStringLiteral("-i"), QStringLiteral("127.0.0.1"),
                                                       QStringLiteral("-p"), QString::number(m_port)});
    }
    ~MicrosocksProcess()
    {
        m_process.kill();
        m_process.waitForFinished();
    }

    // Started and accepting connections.
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
    quint16 port() const { return m_port; }
    QString url() const { return QStringLiteral("socks5://127.0.0.1:%1").arg(m_port); }

private:
    quint16 m_port;
    QProcess m_process;
};

} // namespace brisquel::test
