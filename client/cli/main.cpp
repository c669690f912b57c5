// quillon-query: the client's queries from a terminal, for scripts and black-box tests.
#include "output.h"

#include "config.h"
#include "module1.h"
#include "pagefetcher.h"
#include "queryrunner.h"
#include "servicedays.h"
#include "stationindex.h"
#include "stationsource.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cstdio>

namespace {

enum ExitStatus { QueryRan = 0, FetchFailed = 1, UsageError = 2, MessageShown = 3 };

const char* const kUsage =
    "usage: quillon-query [--timetable-base URL] [--fare-base URL] [--format table|json] "
    "[--date YYYYMMDD] COMMAND ARGS\n"
    "  train NUMBER        train-number query\n"
    "  between FROM TO     station-to-station query (or the transfer cities)\n"
    "  station NAME        station query\n"
    "  leg PATH            a transfer leg (a path from the transfer list)\n"
    "  detail LINK         what the detail window opens for a row's link\n"
    "  fare NUMBER         the fare window of a train\n"
    "  between FROM TO --legs   also runs every transfer leg in the same session\n"
    "  complete TEXT       station names for a typed prefix, initials or pinyin\n"
    "  --date YYYYMMDD     ask for that day (default: the service's own day, today)\n";

int usage(const QString& why) {
    std::fprintf(stderr, "quillon-query: %s\n%s", qPrintable(why), kUsage);
    return UsageError;
}

// The completion list over the service's station list: one name a line, or the JSON object.
int complete(PageFetcher& fetcher, const QString& timetableBase, const QString& typed, bool json) {
    QString error;
    const QUrl url = stationListUrl(timetableBase);
    const QByteArray bytes = fetcher.fetchBytes(url, &error);
    const QList<Station> stations = parseStationList(bytes);
    if (error.isEmpty() && stations.isEmpty())
        error = QStringLiteral("no station list at %1").arg(url.toString());
    const StationIndex index(stations);
    QStringList names;
    for (const QString& name : index.complete(typed))
        names << index.label(name);
    const QByteArray out =
        json ? formatCompletionJson(names, error) : formatCompletionTable(names, error);
    std::fwrite(out.constData(), 1, size_t(out.size()), stdout);
    std::fflush(stdout);
    return error.isEmpty() ? QueryRan : FetchFailed;
}

void printNotice(const QString& text) {
    std::fprintf(stderr, "quillon-query: %s\n", qPrintable(text));
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsOptions);
    const QCommandLineOption formatOption(QStringLiteral("format"), QStringLiteral("table or json"),
                                          QStringLiteral("FORMAT"), QStringLiteral("table"));
    const QCommandLineOption legsOption(QStringLiteral("legs"),
                                        QStringLiteral("after a transfer page, run every leg"));
    const QCommandLineOption helpOption({QStringLiteral("h"), QStringLiteral("help")},
                                        QStringLiteral("this text"));
    addServiceOptions(parser, {QStringLiteral("timetable"), QStringLiteral("fare")});
    const QCommandLineOption dateOption(
        QStringLiteral("date"), QStringLiteral("the day to ask for"), QStringLiteral("YYYYMMDD"));
    parser.addOptions({formatOption, legsOption, helpOption, dateOption});
    if (!parser.parse(app.arguments()))
        return usage(parser.errorText());
    if (parser.isSet(helpOption)) {
        std::fputs(kUsage, stdout);
        return QueryRan;
    }

    const QString format = parser.value(formatOption);
    if (format != u"table" && format != u"json")
        return usage(QStringLiteral("unknown format \"%1\"").arg(format));

    const StartupValues startup = readStartupValues(QCoreApplication::applicationDirPath());
    ServiceAddresses services = applyServiceOptions(loadServiceAddresses(startup.iniPath), parser);
    FetchPolicy::setPageDeadline(readPageDeadline(startup.iniPath));
    PageFetcher& fetcher = PageFetcher::shared();
    if (parser.isSet(dateOption)) {
        const QDate day = QDate::fromString(parser.value(dateOption), QStringLiteral("yyyyMMdd"));
        if (!day.isValid())
            return usage(QStringLiteral("bad date \"%1\" (expected YYYYMMDD)")
                             .arg(parser.value(dateOption)));
        // Whether the service takes a day, from the header of its station list.
        QString ignored;
        const QByteArray list = fetcher.fetchBytes(stationListUrl(services.timetable), &ignored);
        const DayBases bases = basesForDay(services.timetable, services.fare, day,
                                           QDate::currentDate(), parseServiceDays(list));
        if (!bases.notice.isEmpty())
            printNotice(bases.notice);
        services.timetable = bases.timetable;
        services.fare = bases.fare;
    }

    const QStringList args = parser.positionalArguments();
    const QString command = args.value(0);
    const bool legs = parser.isSet(legsOption);
    if (command == u"complete" && args.size() == 2 && !legs)
        return complete(fetcher, services.timetable, args[1], format == u"json");
    std::optional<QueryReport> report;
    if (legs && command != u"between")
        return usage(QStringLiteral("--legs goes with between"));
    if (command == u"train" && args.size() == 2)
        report = runQuery(fetcher, planTrainQuery(services.timetable, args[1]));
    else if (command == u"between" && args.size() == 3)
        report = runQuery(fetcher, planStationQuery(services.timetable, args[1], args[2], true));
    else if (command == u"station" && args.size() == 2)
        report = runQuery(fetcher, planStationQuery(services.timetable, args[1], {}, false));
    else if (command == u"leg" && args.size() == 2)
        report = runQuery(fetcher, planLegQuery(services.timetable, args[1]));
    else if (command == u"detail" && args.size() == 2)
        report = runDetail(fetcher, services.timetable, args[1]);
    else if (command == u"fare" && args.size() == 2)
        report = runFare(fetcher, services.fare, args[1]);
    if (!report) {
        return usage(command.isEmpty()
                         ? QStringLiteral("no command")
                         : QStringLiteral("bad command or arguments: %1").arg(args.join(u' ')));
    }

    // The legs run in the session the station-to-station query opened (its cookie).
    QList<QueryReport> legReports;
    Legs legResults;
    if (legs) {
        legResults.emplace();
        for (const TransferEntry& entry : report->transfers.value_or(QList<TransferEntry>()))
            legReports << runQuery(fetcher, planLegQuery(services.timetable, entry.path));
        const QList<TransferEntry> entries = report->transfers.value_or(QList<TransferEntry>());
        for (qsizetype i = 0; i < entries.size(); ++i)
            legResults->append({entries[i].city, entries[i].path, &legReports[i]});
    }

    const QByteArray out =
        format == u"json" ? formatJson(*report, legResults) : formatTable(*report, legResults);
    std::fwrite(out.constData(), 1, size_t(out.size()), stdout);
    std::fflush(stdout);
    if (report->notice)
        printNotice(*report->notice);

    if (report->error)
        return FetchFailed;
    return report->message ? MessageShown : QueryRan;
}
