#include "queryrunner.h"

#include "address.h"
#include "module1.h"
#include "pagefetcher.h"

QueryReport runQuery(PageFetcher& fetcher, const QueryPlan& plan) {
    QueryReport report;
    report.kind = plan.kind;
    if (!plan.message.isEmpty()) {
        report.message = plan.message;
        return report;
    }

    report.address = QString::fromLatin1(plan.address);
    FetchResult page = loadPage(fetcher, toUrl(plan.address));
    if (!page.ok())
        report.error = page.error;

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
