#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>

// The fare query of a train: its address on the fare service, the refusal of an unknown
// train, the cut to the detail section, and the fare window's scrape.

QByteArray fareAddress(const QString& fareBase, const QString& trainNumber);

// The refusal message, or the page buffer cut to the part the fare window reads.
struct FarePageOutcome {
    QString message;
    QString buffer;
};
FarePageOutcome judgeFarePage(QStringView buffer);

inline constexpr int kFareLabels = 16;
inline constexpr int kFareColumns = 14;

// Form6's load: the sixteen header values and one row of fourteen cells per stop.
struct FareTable {
    QStringList labels;
    QList<QStringList> rows;
};
FareTable scrapeFareTable(QStringView buffer);

// Headers of the fare window's list, left to right.
const QStringList& fareColumnHeaders();

inline constexpr QStringView kNoFareMessage = u"信息目前暂不存在。";
