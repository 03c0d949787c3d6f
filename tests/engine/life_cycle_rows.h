#pragma once

// Taken names' answers written in registries' own layouts, each with the deletion state and expiry
// date a reader must take from it. Shared by test_life_cycle and bench/life_cycle_bench.

#include <QByteArray>
#include <QDate>
#include <QList>
#include <QString>

namespace brisquel::rows {

// The day every row is read on: the states "expired" and the dates are judged against it.
inline const QDate Today(2024, 6, 1);

struct LifeCycleRow
{
    const char* kind; // what the row tries: "deletion state", "date order", ...
    const char* name;
    const char* host; // the server that answered, for its date order and keys
    QByteArray answer;
    QString state;
    QDate expires;
};

inline QList<LifeCycleRow> lifeCycleRows()
{
    const QString pendingDelete = QStringLiteral("pendingDelete");
    const QString expired = QStringLiteral("expired");
    return {
        // Deletion states in registries' own words.
        {"deletion state", "CIRA to be released", "whois.cira.ca",
         "Domain name:           sample.ca\nDomain status:         to be released\n"
         "Creation date:         2009/08/12\nExpiry date:           2024/08/12\n",
         pendingDelete, QDate(2024, 8, 12)},
        {"deletion state", "CZ.NIC to be deleted", "whois.nic.cz",
         "domain:       sample.cz\nstatus:       Expired\nstatus:       Not generated into zone\n"
         "status:       To be deleted\nregistered:   01.02.2010 12:00:00\nexpire:       01.02.2024\n",
         pendingDelete, QDate(2024, 2, 1)},
        {"deletion state", "excluded, pending purge", "whois.registry.example",
         "Domain Name: SAMPLE.EXAMPLE\r\nStatus: Excluded - Pending Purge\r\nExpiry Date: 2024-04-02\r\n",
         pendingDelete, QDate(2024, 4, 2)},
        {"deletion state", "marked for deletion", "whois.registry.example",
         "domain:      sample.example\nstate:       marked for deletion\n", pendingDelete, QDate()},
        {"deletion state", "pending deletion", "whois.registry.example",
         "Domain Status: Pending Deletion\nExpiration Date: 2024-05-20\n", pendingDelete, QDate(2024, 5, 20)},
        {"deletion state", "deletion forbidden is no deletion", "whois.nic.cz",
         "domain:       sample.cz\nstatus:       Deletion forbidden\nexpire:       01.02.2025\n", QString(),
         QDate(2025, 2, 1)},
        {"deletion state", "a sentence about released names decides nothing", "whois.cira.ca",
         "% Names that are to be released are listed at https://example.ca/drops: see there.\n"
         "Domain name:           sample.ca\nDomain status:         registered\n",
         QString(), QDate()},

        // Keys padded before the colon, long bilingual keys.
        {"key layout", "padded key", "whois.kr",
         "Domain Name                 : sample.kr\nRegistered Date             : 2010. 07. 28.\n"
         "Expiration Date             : 2025. 07. 28.\n",
         QString(), QDate(2025, 7, 28)},
        {"key layout", "bilingual key with its date order", "whois.dns.pt",
         "Nome de domínio / Domain Name: sample.pt\n"
         "Data de registo / Creation Date (dd/mm/yyyy): 05/03/2001\n"
         "Data de expiração / Expiration Date (dd/mm/yyyy): 04/03/2025\nEstado / Status: ACTIVE\n",
         QString(), QDate(2025, 3, 4)},
        {"key layout", "enumerated bracketed keys", "whois.mynic.my",
         "a [Domain Name]                 sample.my\nc [Record Created]              13-MAY-2009\n"
         "d [Record Expired]              13-MAY-2025\n",
         QString(), QDate(2025, 5, 13)},

        // Expiry keys beyond "expires" and "paid-till".
        {"expiry key", "fecha de vencimiento", "whois.registry.example",
         "Nombre de Dominio: sample.example\nFecha de creación: 2010-03-05 14:22:01\n"
         "Fecha de vencimiento: 2025-03-05 14:22:01\n",
         QString(), QDate(2025, 3, 5)},
        {"expiry key", "validity", "whois.isoc.org.il",
         "domain:       sample.co.il\nstatus:       Transfer Locked\nassigned:     24-05-2001\n"
         "validity:     24-05-2025\n",
         QString(), QDate(2025, 5, 24)},
        {"expiry key", "exp date", "whois.thnic.co.th",
         "Domain Name:                SAMPLE.CO.TH\nCreated date:               8 Oct 2009\n"
         "Exp date:                   7 Oct 2025\n",
         QString(), QDate(2025, 10, 7)},
        {"expiry key", "valid-date", "whois.registry.example",
         "domain-name: sample.example\nValid-date: 2025-03-09\n", QString(), QDate(2025, 3, 9)},
        {"expiry key", "billed until", "whois.srs.net.nz",
         "domain_name: sample.nz\nquery_status: 200 Active\n"
         "domain_datebilleduntil: 2025-03-09T00:00:00+13:00\n",
         QString(), QDate(2025, 3, 9)},
        {"expiry key", "expiry in an OK-UNTIL status", "whois.registry.example",
         "domain:  sample.example\nstatus:  OK-UNTIL 20251218000000\n", QString(), QDate(2025, 12, 18)},
        {"expiry key", "connected until, in the state", "whois.jprs.jp",
         "[Domain Name]                   SAMPLE.CO.JP\n[State]                         Connected "
         "(2025/09/30)\n",
         QString(), QDate(2025, 9, 30)},

        // Date spellings.
        {"date spelling", "year, month name, day", "whois.nic.tr",
         "** Domain Name: sample.com.tr\n** Additional Info:\nCreated on..............: 2001-Aug-23.\n"
         "Expires on..............: 2025-Aug-22.\n",
         QString(), QDate(2025, 8, 22)},
        {"date spelling", "weekday, time, zone, year", "whois.registry.example",
         "Domain Name: sample.example\nExpiry : Fri Apr 25 23:59:59 GMT 2025\n", QString(),
         QDate(2025, 4, 25)},
        {"date spelling", "weekday, time, year", "whois.registry.example",
         "Domain Name: sample.example\nExpiration Time: Sun Mar 30 23:59:00 2025\n", QString(),
         QDate(2025, 3, 30)},
        {"date spelling", "two-digit year", "whois.registry.example",
         "Domain: sample.example\nExpiry date: 16/09/25\n", QString(), QDate(2025, 9, 16)},
        {"date spelling", "two-digit year, past", "whois.registry.example",
         "Domain: sample.example\nExpiry date: 16/09/14\n", expired, QDate(2014, 9, 16)},

        // Numeric dates whose order the registry decides.
        {"date order", "month first, said by another date", "whois.dot.tk",
         "   Domain name:\n      SAMPLE.TK\n\n   Domain registered: 12/18/2001\n"
         "   Record will expire on: 12/11/2025\n",
         QString(), QDate(2025, 12, 11)},
        {"date order", "month first, said by the data file", "whois.dot.ml",
         "   Domain name:\n      SAMPLE.ML\n\n   Domain registered: 05/06/2015\n"
         "   Record will expire on: 12/11/2025\n",
         QString(), QDate(2025, 12, 11)},
        {"date order", "day first, said by the data file", "whois.nic.im",
         "Domain Name: sample.im\nExpiry Date: 03/08/2025 23:59:52\n", QString(), QDate(2025, 8, 3)},
        {"date order", "day first, said by another date", "whois.registry.example",
         "Domain: sample.example\nCreated: 25/03/2001\nExpires: 03/08/2025\n", QString(), QDate(2025, 8, 3)},
        {"date order", "the data file and the answer disagree: no date", "whois.nic.im",
         "Domain Name: sample.im\nRegistered: 12/18/2001\nExpiry Date: 03/08/2025 23:59:52\n", QString(),
         QDate()},
        {"date order", "dots are day first", "whois.registry.example",
         "domain: sample.example\nexpires: 03.08.2025\n", QString(), QDate(2025, 8, 3)},
        {"date order", "unknown order: no date", "whois.registry.example",
         "Domain: sample.example\nCreated: 05/03/2001\nExpires: 03/08/2025\n", QString(), QDate()},
        {"date order", "dates that disagree: no date", "whois.registry.example",
         "Domain: sample.example\nCreated: 25/03/2001\nUpdated: 03/25/2024\nExpires: 03/08/2025\n", QString(),
         QDate()},

        // The last renewal is no expiry; the renewal due is one.
        {"renewal", "renew date before exp date", "whois.thnic.co.th",
         "Domain Name:                SAMPLE.CO.TH\nStatus:                     ACTIVE\n"
         "Renew date:                 8 Oct 2023\nExp date:                   7 Oct 2025\n",
         QString(), QDate(2025, 10, 7)},
        {"renewal", "last renewed alone", "whois.registry.example",
         "Domain: sample.example\nRenewed: 2024-03-01\n", QString(), QDate()},
        {"renewal", "an option's expiry is not the name's", "whois.dns.pl",
         "DOMAIN NAME:            sample.pl\nrenewal date:           2025.01.01 13:00:00\n"
         "option created:         2010.01.01 13:00:00\noption expiration date: 2013.01.01 13:00:00\n",
         QString(), QDate(2025, 1, 1)},
        {"renewal", "renewal due", "whois.nic.uk",
         "    Relevant dates:\n        Registered on: 17-Sep-2011\n        Renewal date:  17-Sep-2025\n",
         QString(), QDate(2025, 9, 17)},
    };
}

} // namespace brisquel::rows
