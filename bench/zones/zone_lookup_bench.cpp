// Lookups per second in a zone index, over names in it and names not in it, and how many of those
// it calls present. Usage: zone_lookup_bench INDEX PRESENT_PREFIX PRESENT_COUNT ABSENT_PREFIX ABSENT_COUNT
// (names are PREFIX + number, as bench/zones/zones_bench writes them).
#include "engine/zones/zone_index.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <cstdio>
#include <vector>

using namespace brisquel;

namespace {

std::vector<QByteArray> namesOf(const char* prefix, long count)
{
    std::vector<QByteArray> names;
    names.reserve(size_t(count));
    for (long i = 0; i < count; ++i)
        names.push_back(QByteArray(prefix) + QByteArray::number(qlonglong(i)));
    return names;
}

// Lookups a second and how many were found.
std::pair<double, long> run(const ZoneIndex& index, const std::vector<QByteArray>& names)
{
    QElapsedTimer timer;
    timer.start();
    long found = 0;
    for (const QByteArray& name : names)
        found += index.contains(name) ? 1 : 0;
    return {double(names.size()) / (double(timer.nsecsElapsed()) / 1e9), found};
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 6) {
        std::fprintf(stderr, "usage: %s INDEX PRESENT_PREFIX PRESENT_COUNT ABSENT_PREFIX ABSENT_COUNT\n", argv[0]);
        return 2;
    }
    ZoneIndex index;
    QString error;
    if (!index.open(QString::fromLocal8Bit(argv[1]), &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    const std::vector<QByteArray> present = namesOf(argv[2], std::atol(argv[3]));
    const std::vector<QByteArray> absent = namesOf(argv[4], std::atol(argv[5]));
    const auto [presentRate, presentFound] = run(index, present);
    const auto [absentRate, falselyFound] = run(index, absent);
    std::printf("index: %lld names, %lld bytes, %.3f bytes a name\n", qlonglong(index.info().names),
                qlonglong(index.info().fileSize), double(index.info().fileSize) / double(index.info().names));
    std::printf("lookups of names in the zone: %.0f/s, %ld of %zu found\n", presentRate, presentFound, present.size());
    std::printf("lookups of names not in it:   %.0f/s, %ld of %zu falsely found (rate %.2e)\n", absentRate,
                falselyFound, absent.size(), double(falselyFound) / double(absent.size()));
    return presentFound == long(present.size()) && double(falselyFound) <= double(absent.size()) * 1e-5 ? 0 : 1;
}
