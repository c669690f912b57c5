// quillon-query: the client's queries from a terminal, for scripts and black-box tests.
#include "output.h"

#include "config.h"
#include "module1.h"
#include "pagefetcher.h"
#include "queryrunner.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>

#include <cstdio>

namespace {

enum ExitStatus { QueryRan = 0, FetchFailed = 1, UsageError = 2, MessageShown = 3 };

const char* const kUsage =
    "usage: quillon-query [--timetable-base URL] [--fare-base URL] [--format table|json] "
    "COMMAND ARGS\n"
    "  train NUMBER        train-number query\n"
    "  between FROM TO     station-to-station query (or the transfer cities)\n"
    "  station NAME        station query\n";

int usage(const QString& why) {
    std::fprintf(stderr, "quillon-query: %s\n%s", qPrintable(why), kUsage);
    return UsageError;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsOptions);
    const QCommandLineOption formatOption(QStringLiteral("format"), QStringLiteral("table or json"),
                                          QStringLiteral("FORMAT"), QStringLiteral("table"));
    const QCommandLineOption helpOption({QStringLiteral("h"), QStringLiteral("help")},
                                        QStringLiteral("this text"));
    addServiceOptions(parser, {QStringLiteral("timetable"), QStringLiteral("fare")});
    parser.addOptions({formatOption, helpOption});
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
    const ServiceAddresses services =
        applyServiceOptions(loadServiceAddresses(startup.iniPath), parser);

    const QStringList args = parser.positionalArguments();
    const QString command = args.value(0);
    std::optional<QueryPlan> plan;
    if (command == u"train" && args.size() == 2)
        plan = planTrainQuery(services.timetable, args[1]);
    else if (command == u"between" && args.size() == 3)
        plan = planStationQuery(services.timetable, args[1], args[2], true);
    else if (command == u"station" && args.size() == 2)
        plan = planStationQuery(services.timetable, args[1], {}, false);
    if (!plan) {
        return usage(command.isEmpty()
                         ? QStringLiteral("no command")
                         : QStringLiteral("bad command or arguments: %1").arg(args.join(u' ')));
    }

    const QueryReport report = runQuery(PageFetcher::shared(), *plan);
    const QByteArray out = format == u"json" ? formatJson(report) : formatTable(report);
    std::fwrite(out.constData(), 1, size_t(out.size()), stdout);
    std::fflush(stdout);

    if (report.error)
        return FetchFailed;
    return report.message ? MessageShown : QueryRan;
}
