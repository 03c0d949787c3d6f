// Feeds arbitrary bytes to everything that reads a WHOIS answer: the judge (for a server without
// rules of its own and for servers with their own rules and character sets), the life-cycle reader
// and the reader of a named wait. The first byte picks the server. Line ends must never change what
// is read, and a date read is always a plausible one.

#include "engine/judging/answer_rules.h"
#include "engine/judging/life_cycle.h"
#include "engine/lookup/lookup_pool.h"
#include "fuzz_support.h"

using namespace brisquel;

namespace {

const QDate Today(2024, 6, 1);

void requirePlausible(const LifeCycle& cycle)
{
    FUZZ_REQUIRE(!cycle.expires.isValid() ||
                 (cycle.expires >= QDate(1985, 1, 1) && cycle.expires <= QDate(2200, 12, 31)));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    static const QString servers[] = {QString(), QStringLiteral("whois.kr"), QStringLiteral("whois.jprs.jp"),
                                      QStringLiteral("whois.dns.be"), QStringLiteral("whois.registro.br")};
    const QString& server = servers[data[0] % std::size(servers)];
    const QByteArray answer = fuzz::bytes(data + 1, size - 1);
    const AnswerRules& rules = AnswerRules::shipped();

    (void)rules.judge(answer, server);
    (void)rules.decode(answer, server);
    (void)LookupPool::namedWaitMs(answer);
    requirePlausible(readWhoisLifeCycle(answer, Today));

    // The same lines with LF, CR LF and CR.
    const QByteArray lf = QByteArray(answer).replace("\r\n", "\n").replace('\r', '\n');
    const AnswerRules::Judgement judged = rules.judge(lf, server);
    const LifeCycle cycle = readWhoisLifeCycle(lf, Today);
    for (const char* end : {"\r\n", "\r"}) {
        const QByteArray other = QByteArray(lf).replace("\n", end);
        const AnswerRules::Judgement again = rules.judge(other, server);
        FUZZ_REQUIRE(again.verdict == judged.verdict && again.detail == judged.detail &&
                     again.rule == judged.rule);
        FUZZ_REQUIRE(readWhoisLifeCycle(other, Today) == cycle);
    }
    return 0;
}
