// The world clock's catalogue built from, and lookups made in, any list of
// zone identifiers the platform might report.
#include <QRegularExpression>
#include <cstring>

#include "FuzzSupport.h"
#include "worldclock/CityCatalogue.h"

using namespace pendra;

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    fuzz::setUpProcess(argc, argv, false);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 8) {
        return 0;
    }
    qint64 seconds = 0;
    memcpy(&seconds, data, sizeof seconds);
    static const QRegularExpression offsetForm(QStringLiteral("^[+-]\\d\\d+:\\d\\d$"));
    PENDRA_FUZZ_CHECK(offsetForm.match(offsetText(seconds % (400LL * 3600))).hasMatch());
    // The whole range too: negating the most negative difference overflowed.
    offsetText(seconds);

    const QStringList identifiers = fuzz::text(data + 8, size - 8).split(QLatin1Char('\n'));
    const QStringList entries = cityCatalogue(identifiers);
    PENDRA_FUZZ_CHECK(entries.size() <= identifiers.size());
    for (const QString& entry : entries) {
        lookupCity(cityName(entry), identifiers);
    }
    // Every city the catalogue offers from identifiers shaped as the
    // platform's are can be found again.
    static const QRegularExpression shaped(QStringLiteral("^[A-Za-z0-9+-]+/[A-Za-z0-9_+-]+$"));
    const QStringList clean = identifiers.filter(shaped);
    for (const QString& entry : cityCatalogue(clean)) {
        const QString name = cityName(entry);
        PENDRA_FUZZ_CHECK(!name.contains(QLatin1Char('/')));
        const CityLookup found = lookupCity(name, clean);
        PENDRA_FUZZ_CHECK(found.identifier.has_value());
        PENDRA_FUZZ_CHECK(clean.contains(*found.identifier));
    }
    for (const QString& id : identifiers) {
        reverse(id, QLatin1Char('/'));
    }
    return 0;
}
