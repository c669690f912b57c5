#pragma once

#include "source.h"

#include <QString>
#include <QStringList>
#include <QUrl>

#include <chrono>
#include <memory>

// The railway's official site as a source, read live and only for what a user asked for.
// Read-only: timetables and fares, never anything that books.
namespace live {

struct LiveOptions {
    QUrl base; // empty: the site itself; else the replay base (see Fetcher)
    std::chrono::milliseconds interval{1000}; // between two requests to the site
    QString cacheDir; // the station list's folder; empty: the XDG cache folder
};

class LiveSource : public source::TimetableSource {
public:
    explicit LiveSource(LiveOptions options = {});
    ~LiveSource() override;

    // The site sells and answers from today for this many days.
    static constexpr int saleDays = 15;

    source::DayRange days() const override;
    QString kind() const override;
    QDate defaultDay() const override;

    source::Answer<QList<StationListEntry>> stations(QDate day) override;
    source::Answer<QList<TrainListRow>> trainsByNumber(QDate day, const QString& text) override;
    source::Answer<source::Between> trainsBetween(QDate day, const QString& from,
                                                  const QString& to) override;
    source::Answer<QList<TrainListRow>> trainsAtStation(QDate day, const QString& station) override;
    source::Answer<QList<TrainListRow>> legTrains(QDate day, const QString& from,
                                                  const QString& city) override;
    source::Answer<std::optional<Train>> train(QDate day, const QString& number) override;
    source::Answer<std::optional<source::FareTable>> fares(QDate day,
                                                           const QString& number) override;

    // Asks the site once per interface; one line per interface, "ok" or what failed.
    QStringList check();
    // Rows and entries of the site's answers that failed the format checks, since start.
    int skippedRows() const;
    int requestCount() const;

private:
    // The answers as the site gave them, before the sale window is considered.
    source::Answer<QList<TrainListRow>> numberRows(QDate day, const QString& text);
    source::Answer<source::Between> betweenRows(QDate day, const QString& from, const QString& to);
    source::Answer<QList<TrainListRow>> legRows(QDate day, const QString& from,
                                                const QString& city);
    source::Answer<std::optional<Train>> trainStops(QDate day, const QString& number);
    source::Answer<std::optional<source::FareTable>> fareTable(QDate day, const QString& number);

    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace live
