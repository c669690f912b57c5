// The page scrapers on arbitrary pages. The first input byte picks the decoding (odd: the
// service's "gb2312", even: UTF-8) and the rest is the page, so both decoders feed them.
#include "module1.h"
#include "queries.h"
#include "trainlist.h"
#include "transfer.h"

#include "contract/pagecontract.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

[[noreturn]] void fail(const char* what) {
    std::fprintf(stderr, "fuzz_trainlist: %s\n", what);
    std::abort();
}

void check(bool ok, const char* what) {
    if (!ok)
        fail(what);
}

// The row marker each list's scrape starts a row at.
QStringView rowMarker(TrainList list) {
    return list == TrainList::ListView1 ? QStringView(u"width=75") : QStringView(u"<td width=75");
}

void checkTrainList(QStringView page, TrainList list) {
    const TrainListResult result = scrapeTrainList(page, list);
    const QStringView marker = rowMarker(list);
    // Neither marker can overlap itself, so count() is the number of rows cut.
    const qsizetype candidates = page.count(marker);

    check(result.status.has_value() == (candidates > 0), "status set without a row marker, or "
                                                         "left alone despite one");
    if (result.status)
        check(*result.status == rowCountStatus(result.rows.size()), "status is not the row count");
    if (list == TrainList::ListView1)
        check(result.rows.size() == candidates, "the train list dropped or invented a row");
    else
        check(result.rows.size() <= candidates, "a station list has more rows than markers");

    for (qsizetype i = 0; i < result.rows.size(); ++i) {
        const QStringList& row = result.rows[i];
        check(row.size() == kTrainListColumns, "a row does not have twelve cells");
        check(row[0] == QString::number(i + 1), "column 0 does not number the rows from 1");
        if (list == TrainList::ListView1)
            check(row[kDetailLinkColumn].startsWith(u"show_"), "a train detail link lost show_");
    }
}

void checkTransferList(QStringView page) {
    const TransferList transfers = scrapeTransferList(page);
    if (page.contains(contract::transferOffer))
        check(page.contains(contract::transferOffer.toString() + transfers.buffer),
              "the transfer buffer does not follow the transfer phrase");
    else
        check(transfers.buffer == page, "a page without the phrase was cut");
    check(transfers.entries.size() == QStringView(transfers.buffer).count(u"<a"),
          "not one transfer entry per anchor");
}

void checkOutcomes(QStringView page) {
    for (const QueryKind kind :
         {QueryKind::Train, QueryKind::Between, QueryKind::Station, QueryKind::Leg}) {
        const PageOutcome outcome = judgePage(kind, page);
        if (outcome.action == PageOutcome::ShowMessage)
            check(!outcome.message.isEmpty() && page.contains(outcome.message),
                  "an error message that the page does not hold");
        if (outcome.action == PageOutcome::Transfer)
            check(page.contains(contract::transferOffer), "a transfer without the transfer phrase");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    const QByteArray bytes(reinterpret_cast<const char*>(data) + 1, qsizetype(size - 1));
    const QString page = Module1::DecodeBytes(bytes, (data[0] & 1) ? QStringLiteral("gb2312")
                                                                   : QStringLiteral("utf-8"));

    for (const TrainList list : {TrainList::ListView1, TrainList::ListView2, TrainList::ListView3})
        checkTrainList(page, list);
    checkTransferList(page);
    checkOutcomes(page);
    return 0;
}
