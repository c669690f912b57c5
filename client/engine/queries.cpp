#include "queries.h"

#include "address.h"
#include "markers.h"

#include "contract/pagecontract.h"

namespace {

// Per query: the list it fills and the error phrases looked for, in order; the first one the
// page contains is shown.
struct PageRules {
    TrainList list;
    QList<QStringView> errorPhrases;
    bool offersTransfer;
};

const PageRules& rulesFor(QueryKind kind) {
    static const PageRules train{TrainList::ListView1, {contract::noTrain}, false};
    static const PageRules between{TrainList::ListView2,
                                   {contract::noDeparture, contract::noArrival, contract::noTrain},
                                   true};
    static const PageRules station{TrainList::ListView3, {}, false};
    static const PageRules leg{TrainList::ListView2, {contract::noTrain}, false};
    switch (kind) {
    case QueryKind::Train:
        return train;
    case QueryKind::Between:
        return between;
    case QueryKind::Station:
        return station;
    case QueryKind::Leg:
    case QueryKind::Detail:
    case QueryKind::Fare:
        break;
    }
    return leg;
}

QueryPlan refuse(QueryKind kind, QStringView message) {
    return {kind, message.toString(), {}};
}

} // namespace

QString queryName(QueryKind kind) {
    switch (kind) {
    case QueryKind::Train:
        return QStringLiteral("train");
    case QueryKind::Between:
        return QStringLiteral("between");
    case QueryKind::Station:
        return QStringLiteral("station");
    case QueryKind::Leg:
        return QStringLiteral("leg");
    case QueryKind::Detail:
        return QStringLiteral("detail");
    case QueryKind::Fare:
        break;
    }
    return QStringLiteral("fare");
}

QueryPlan planTrainQuery(const QString& timetableBase, const QString& trainNumber) {
    if (trainNumber.isEmpty())
        return refuse(QueryKind::Train, kEmptyTrainNumber);
    return {QueryKind::Train,
            {},
            encodeRelativePath(timetableBase) + contract::listQuery +
                QByteArray("CC&FZ=&DZ=&CZ=&CC=") + encodeFieldText(trainNumber)};
}

QueryPlan planStationQuery(const QString& timetableBase, const QString& from, const QString& to,
                           bool arrivalVisible) {
    if (!arrivalVisible) {
        if (from.isEmpty())
            return refuse(QueryKind::Station, kEmptyStation);
        return {QueryKind::Station,
                {},
                encodeRelativePath(timetableBase) + contract::listQuery +
                    QByteArray("CZ&FZ=&DZ=&CC=&CZ=") + encodeFieldText(from)};
    }
    if (from.isEmpty())
        return refuse(QueryKind::Between, kEmptyDeparture);
    if (to.isEmpty())
        return refuse(QueryKind::Between, kEmptyArrival);
    return {QueryKind::Between,
            {},
            encodeRelativePath(timetableBase) + contract::listQuery + QByteArray("ZZ&FZ=") +
                encodeFieldText(from) + "&DZ=" + encodeFieldText(to) + "&CC=&CZ="};
}

QueryPlan planLegQuery(const QString& timetableBase, const QString& legPath) {
    if (legPath.isEmpty())
        return refuse(QueryKind::Leg, kEmptyLegPath);
    return {QueryKind::Leg, {}, encodeRelativePath(timetableBase) + encodeRelativePath(legPath)};
}

PageOutcome judgePage(QueryKind kind, QStringView buffer) {
    const PageRules& rules = rulesFor(kind);
    for (const QStringView phrase : rules.errorPhrases) {
        if (markers::contains(buffer, phrase))
            return {PageOutcome::ShowMessage, phrase.toString(), rules.list};
    }
    if (rules.offersTransfer && markers::contains(buffer, contract::transferOffer))
        return {PageOutcome::Transfer, {}, rules.list};
    return {PageOutcome::Scrape, {}, rules.list};
}
