#include "queryrunner.h"

#include "address.h"
#include "detail.h"
#include "fare.h"
#include "module1.h"
#include "pagefetcher.h"
#include "servicedays.h"

namespace {

void noteReason(QueryReport& report, QStringView page) {
    if (QString reason = cutReason(page); !reason.isEmpty())
        report.notice = std::move(reason);
}

// The step every query shares: note the address, load the page, keep why it failed.
FetchResult loadInto(QueryReport& report, PageFetcher& fetcher, const QByteArray& address) {
    report.address = QString::fromLatin1(address);
    FetchResult page = loadPage(fetcher, toUrl(address));
    if (!page.ok())
        report.error = page.error;
    noteReason(report, page.text);
    return page;
}

} // namespace

QueryReport runQuery(PageFetcher& fetcher, const QueryPlan& plan) {
    QueryReport report;
    report.kind = plan.kind;
    if (!plan.message.isEmpty()) {
        report.message = plan.message;
        return report;
    }

    FetchResult page = loadInto(report, fetcher, plan.address);

    const PageOutcome outcome = judgePage(plan.kind, page.text);
    report.list = outcome.list;
    switch (outcome.action) {
    case PageOutcome::ShowMessage:
        report.message = outcome.message;
        report.buffer = std::move(page.text);
        break;
    case PageOutcome::Transfer: {
        TransferList transfer = scrapeTransferList(page.text);
        report.caption = transferCaption(transfer.entries.size());
        report.transfers = std::move(transfer.entries);
        report.buffer = std::move(transfer.buffer);
        break;
    }
    case PageOutcome::Scrape: {
        TrainListResult scraped = scrapeTrainList(page.text, outcome.list);
        report.rows = std::move(scraped.rows);
        report.status = std::move(scraped.status);
        report.buffer = std::move(page.text);
        break;
    }
    }
    return report;
}

QueryReport runDetail(PageFetcher& fetcher, const QString& timetableBase, const QString& link) {
    QueryReport report;
    report.kind = QueryKind::Detail;
    const QByteArray address = detailAddress(timetableBase, link);
    if (opensDirectly(link)) {
        report.navigate = QString::fromLatin1(address);
        return report;
    }
    const FetchResult page = loadInto(report, fetcher, address);
    DetailPageOutcome outcome = judgeDetailPage(timetableBase, page.text);
    if (!outcome.message.isEmpty())
        report.message = outcome.message;
    if (outcome.navigate)
        report.navigate = QString::fromLatin1(*outcome.navigate);
    report.buffer = std::move(outcome.buffer);
    return report;
}

QueryReport runFare(PageFetcher& fetcher, const QString& fareBase, const QString& trainNumber) {
    QueryReport report;
    report.kind = QueryKind::Fare;
    const FetchResult page = loadInto(report, fetcher, fareAddress(fareBase, trainNumber));
    FarePageOutcome outcome = judgeFarePage(page.text);
    report.buffer = std::move(outcome.buffer);
    if (!outcome.message.isEmpty()) {
        report.message = outcome.message;
        return report;
    }
    FareTable table = scrapeFareTable(*report.buffer);
    report.labels = std::move(table.labels);
    report.rows = std::move(table.rows);
    return report;
}
