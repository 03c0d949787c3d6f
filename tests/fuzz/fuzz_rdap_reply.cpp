// Feeds arbitrary bytes to what reads an RDAP service's reply: the reply rules, the life-cycle
// reader, the record window's text and the Retry-After reader. The first byte picks the status and
// the content type.

#include "engine/judging/life_cycle.h"
#include "engine/lookup/rdap_lookup.h"
#include "fuzz_support.h"

#include <QDateTime>
#include <QUrl>

using namespace brisquel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    static const int statuses[] = {200, 404, 429, 503, 500, 403, 301, 0};
    static const QByteArray types[] = {"application/rdap+json", "application/json; charset=utf-8",
                                       "text/html", QByteArray()};
    const int status = statuses[data[0] % std::size(statuses)];
    const QByteArray& type = types[(data[0] / std::size(statuses)) % std::size(types)];
    const QByteArray body = fuzz::bytes(data + 1, size - 1);
    static const QUrl url(QStringLiteral("https://rdap.example/domain/a.example"));

    const AnswerRules::Judgement judged = judgeRdapReply(status, body, type, url);
    // Only a 404 of an RDAP service says free.
    FUZZ_REQUIRE(judged.verdict != Verdict::Available || status == 404);
    const LifeCycle cycle = readRdapLifeCycle(body, QDate(2024, 6, 1));
    FUZZ_REQUIRE(!cycle.expires.isValid() ||
                 (cycle.expires >= QDate(1985, 1, 1) && cycle.expires <= QDate(2200, 12, 31)));
    (void)readableRdapText(body);
    const QDateTime now(QDate(2026, 12, 7), QTime(12, 0), Qt::UTC);
    const qint64 wait = retryAfterMs(body.left(64), now);
    FUZZ_REQUIRE(wait >= 0 && wait <= 24 * 3600 * 1000);
    return 0;
}
