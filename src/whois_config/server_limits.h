#pragma once

#include <QHash>
#include <QList>
#include <QString>

namespace brisquel {

// How hard a WHOIS server may be asked: a rate, a cap on open connections and a daily quota.
struct ServerLimits
{
    double perSecond = 0; // 0: no rate is known
    double burst = 1;     // queries that may go at once when the budget is full
    int connections = 25;
    qint64 daily = 0; // 0: no daily quota is known

    friend bool operator==(const ServerLimits&, const ServerLimits&) = default;
};

// server-limits.txt: one server a line, "HOST rate=N/s connections=N daily=N" (rate also per min,
// per 15min, per h; burst=N: queries at once, two seconds' worth up to ten unless named); "*" stands for
// every server without a line of its own. Later lines win, so the user's file over the delivered one changes
// a server's limits.
class ServerLimitsTable
{
public:
    struct Problem
    {
        QString origin;
        int lineNumber = 0;
        QString message;
    };

    // Far above any real limits file: a larger one is not read.
    static constexpr qint64 MaxFileBytes = 1024 * 1024;

    static QByteArray shippedText();
    // The delivered limits alone, read once.
    static const ServerLimitsTable& delivered();
    // The delivered limits with the file at path over them when it exists; *error says why it
    // could not be read.
    static ServerLimitsTable deliveredWith(const QString& path, QList<Problem>* problems = nullptr,
                                           QString* error = nullptr);
    void load(const QByteArray& text, const QString& origin, QList<Problem>* problems = nullptr);
    ServerLimits limitsFor(const QString& host) const;
    // "1800 per 15 min, 4 connections" for the settings window.
    static QString describe(const ServerLimits& limits);
    // The line's own words for a host: "rate=5/s connections=2", empty when it has no line.
    QString textFor(const QString& host) const { return m_texts.value(host.trimmed().toLower()); }

    friend bool operator==(const ServerLimitsTable&, const ServerLimitsTable&) = default;

private:
    QHash<QString, ServerLimits> m_byHost;
    QHash<QString, QString> m_texts;
    ServerLimits m_default;
};

} // namespace brisquel
