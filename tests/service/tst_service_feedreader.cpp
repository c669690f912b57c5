#include "gtfs/csvtable.h"
#include "gtfs/feed.h"
#include "timetable.h"

#include "feedtext.h"

#include <QtTest>

#include <zip.h>

#include <sys/stat.h>

using namespace Qt::StringLiterals;

// The feed reader on crafted tables: what real exporters write must read the same, a feed
// that cannot be used must say where, and bad rows must be skipped and counted.
namespace {

const QByteArray base =
    "== stops.txt\nstop_id,stop_name\na,甲\nb,乙\n"
    "== routes.txt\nroute_id,route_type\nr,2\n"
    "== calendar.txt\n"
    "service_id,monday,tuesday,wednesday,thursday,friday,saturday,sunday,start_date,end_date\n"
    "all,1,1,1,1,1,1,1,20240101,20261231\n"
    "== trips.txt\nroute_id,service_id,trip_id,trip_short_name\nr,all,t,K1\n"
    "== stop_times.txt\ntrip_id,arrival_time,departure_time,stop_id,stop_sequence\n"
    "t,08:00:00,08:00:00,a,1\nt,09:00:00,09:00:00,b,2\n";

const QDate day(2025, 6, 2);

struct Loaded {
    bool ok = false;
    QString error;
    gtfs::Faults faults;
    QString stops; // "甲 08:00,乙 09:00" of the train K1
};

// Hands out its tables `pieceSize` bytes at a time, as files and zips do in bigger pieces.
class ChoppedSource : public gtfs::MemorySource {
public:
    ChoppedSource(gtfs::MemorySource whole, size_t pieceSize)
        : MemorySource(std::move(whole))
        , m_pieceSize(pieceSize) {}
    bool read(const QString& table, const Sink& sink, QString* error) const override {
        return MemorySource::read(
            table,
            [&](std::string_view all) {
                for (size_t at = 0; at < all.size(); at += m_pieceSize) {
                    if (!sink(all.substr(at, m_pieceSize)))
                        return false;
                }
                return true;
            },
            error);
    }

private:
    size_t m_pieceSize;
};

Loaded load(const QByteArray& changes, size_t pieceSize = 0) {
    const gtfs::MemorySource whole = feedSource(base, changes);
    const ChoppedSource source(whole, pieceSize > 0 ? pieceSize : size_t(1) << 30);
    gtfs::Feed feed;
    Loaded result;
    result.ok = gtfs::readFeed(source, feed, &result.error);
    if (!result.ok)
        return result;
    const Timetable t = Timetable::build(feed, day, &feed.faults);
    result.faults = feed.faults;
    if (const Train* train = t.findTrain(QStringLiteral("K1"))) {
        QStringList stops;
        for (const TrainStop& s : train->stops)
            stops << s.station + u' ' + clockText(s.departure >= 0 ? s.departure : s.arrival);
        result.stops = stops.join(u',');
    }
    return result;
}

// Writes the tables of `text` into a zip file, each under `folder`.
bool writeZip(const QString& path, const QByteArray& text, const QString& folder) {
    int code = 0;
    zip_t* archive =
        zip_open(QFile::encodeName(path).constData(), ZIP_CREATE | ZIP_TRUNCATE, &code);
    if (!archive)
        return false;
    const QMap<QString, QByteArray> tables = feedTables(text);
    for (auto it = tables.begin(); it != tables.end(); ++it) {
        zip_source_t* bytes =
            zip_source_buffer(archive, it.value().constData(), zip_uint64_t(it.value().size()), 0);
        if (!bytes || zip_file_add(archive, (folder + it.key()).toUtf8().constData(), bytes,
                                   ZIP_FL_ENC_UTF_8) < 0) {
            zip_source_free(bytes);
            zip_discard(archive);
            return false;
        }
    }
    return zip_close(archive) == 0; // reads the buffers, which `tables` still holds
}

// A table that never ends: its header, then `line` over and over, one piece at a time, as a
// huge file or a zip bomb would hand it out. Counts the pieces the reader asked for.
class EndlessSource : public gtfs::FeedSource {
public:
    explicit EndlessSource(QByteArray line)
        : m_line(std::move(line)) {}
    bool has(const QString&) const override { return true; }
    std::int64_t size(const QString&) const override { return -1; }
    bool read(const QString&, const Sink& sink, QString*) const override {
        QByteArray piece = "stop_id,stop_name\n";
        while (piece.size() < 64 * 1024)
            piece += m_line;
        for (pieces = 1; pieces <= maxPieces; ++pieces) {
            if (!sink(std::string_view(piece.constData(), size_t(piece.size()))))
                return true;
            if (pieces == 1)
                piece = piece.mid(piece.indexOf('\n') + 1);
        }
        return true;
    }
    static constexpr int maxPieces = 10'000; // 640 MB: a reader that does not stop reads it all
    mutable int pieces = 0;

private:
    QByteArray m_line;
};

} // namespace

class TestServiceFeedReader : public QObject {
    Q_OBJECT
private slots:
    void readsCsvAsExportersWriteIt_data();
    void readsCsvAsExportersWriteIt();
    void readsTheSameInPiecesOfAnySize_data();
    void readsTheSameInPiecesOfAnySize();
    void refusesUnusableFeedNamingFileAndLine_data();
    void refusesUnusableFeedNamingFileAndLine();
    void skipsBadRowsAndCountsThem_data();
    void skipsBadRowsAndCountsThem();
    void opensFoldersAndZipFiles_data();
    void opensFoldersAndZipFiles();
    void refusesTableAtItsLimitAtOnce_data();
    void refusesTableAtItsLimitAtOnce();
};

void TestServiceFeedReader::readsCsvAsExportersWriteIt_data() {
    QTest::addColumn<QByteArray>("changes");
    QTest::addColumn<QString>("stops");
    const QString plain = QStringLiteral("甲 08:00,乙 09:00");
    QTest::newRow("BOM and CRLF") << QByteArray("== stop_times.txt\n"
                                                "\xEF\xBB\xBFtrip_id,arrival_time,departure_time,"
                                                "stop_id,stop_sequence\r\n"
                                                "t,08:00:00,08:00:00,a,1\r\n"
                                                "t,09:00:00,09:00:00,b,2\r\n")
                                  << plain;
    QTest::newRow("columns in any order, unknown ones ignored")
        << QByteArray("== stop_times.txt\n"
                      "stop_sequence,pickup_type,stop_id,departure_time,trip_id,arrival_time\n"
                      "1,0,a,08:00:00,t,08:00:00\n2,1,b,09:00:00,t,09:00:00\n")
        << plain;
    QTest::newRow("quoted fields: comma, doubled quote, line break")
        << QByteArray("== stops.txt\nstop_id,stop_name\n\"a\",\"甲,东\"\nb,\"乙 \"\"北\"\"\n站\"\n")
        << QStringLiteral("甲,东 08:00,乙 ＂北＂\n站 09:00");
    QTest::newRow("no line end at the end, blank lines between")
        << QByteArray("== stops.txt\nstop_id,stop_name\n\na,甲\n\nb,乙") << plain;
    QTest::newRow("stop_times out of order, sorted by stop_sequence")
        << QByteArray("== stop_times.txt\ntrip_id,arrival_time,departure_time,stop_id,"
                      "stop_sequence\nt,09:00:00,09:00:00,b,20\nt,08:00:00,08:00:00,a,10\n")
        << plain;
}

void TestServiceFeedReader::readsCsvAsExportersWriteIt() {
    QFETCH(QByteArray, changes);
    QFETCH(QString, stops);
    const Loaded loaded = load(changes);
    QVERIFY2(loaded.ok, qPrintable(loaded.error));
    QCOMPARE(loaded.faults.summary(), QStringList());
    QCOMPARE(loaded.stops, stops);
}

void TestServiceFeedReader::readsTheSameInPiecesOfAnySize_data() {
    QTest::addColumn<int>("pieceSize");
    for (int size : {1, 2, 3, 5, 64})
        QTest::addRow("%d bytes", size) << size;
}

void TestServiceFeedReader::readsTheSameInPiecesOfAnySize() {
    QFETCH(int, pieceSize);
    // A BOM, CRLF, a multi-line quoted field and characters of 3 and 4 bytes split anywhere.
    const QByteArray changes = "== stops.txt\n\xEF\xBB\xBFstop_id,stop_name\r\n"
                               "a , 甲\r\n\r\nb,\" 𠀋\r\n\"\"站\"\"\"\r\n";
    const Loaded whole = load(changes);
    QVERIFY2(whole.ok, qPrintable(whole.error));
    QCOMPARE(whole.stops, QStringLiteral("甲 08:00, 𠀋\r\n＂站＂ 09:00"));
    const Loaded pieces = load(changes, size_t(pieceSize));
    QVERIFY2(pieces.ok, qPrintable(pieces.error));
    QCOMPARE(pieces.stops, whole.stops);
}

void TestServiceFeedReader::refusesUnusableFeedNamingFileAndLine_data() {
    QTest::addColumn<QByteArray>("changes");
    QTest::addColumn<QString>("error");
    QTest::newRow("missing table")
        << QByteArray("== trips.txt\n") << "trips.txt: missing from the feed";
    QTest::newRow("no calendar at all")
        << QByteArray("== calendar.txt\n")
        << "calendar.txt and calendar_dates.txt: both missing from the feed";
    QTest::newRow("missing column") << QByteArray("== trips.txt\nroute_id,trip_id\nr,t\n")
                                    << "trips.txt:1: missing column service_id";
    QTest::newRow("missing column after a BOM")
        << QByteArray("== stops.txt\n\xEF\xBB\xBFstop_name\n甲\n")
        << "stops.txt:1: missing column stop_id";
    QTest::newRow("empty table") << QByteArray("== routes.txt\n\n")
                                 << "routes.txt:1: empty file, no header line";
    QTest::newRow("quote inside an unquoted field")
        << QByteArray("== stops.txt\nstop_id,stop_name\na,甲\nb,乙\"站\n")
        << "stops.txt:3: not CSV";
    QTest::newRow("quoted field never closed, line of its start")
        << QByteArray("== stops.txt\nstop_id,stop_name\na,甲\nb,\"乙\nc,丙\n")
        << "stops.txt:3: not CSV: unterminated quoted field";
    static const char png[] = "== routes.txt\nroute_id,route_type\n\x89PNG\r\n\x1a\n\0\0\0\rIHDR";
    QTest::newRow("binary file") << QByteArray(png, sizeof png - 1)
                                 << "routes.txt:2: not UTF-8 text";
    static const char nul[] = "== stops.txt\nstop_id,stop_name\na,甲\nb,\0\n";
    QTest::newRow("NUL byte in text")
        << QByteArray(nul, sizeof nul - 1) << "stops.txt:3: not CSV text (NUL byte)";
    // 甲 and 乙 as GBK writes them.
    QTest::newRow("GBK-encoded table")
        << QByteArray("== stops.txt\nstop_id,stop_name\na,\xBC\xD7\nb,\xD2\xD2\n")
        << "stops.txt:2: not UTF-8 text";
    QTest::newRow("one field cut inside a character")
        << QByteArray("== trips.txt\nroute_id,service_id,trip_id,trip_short_name\n"
                      "r,all,t,K1\nr,all,u,\xE4\xB8\n")
        << "trips.txt:3: not UTF-8 text";
    QTest::newRow("overlong and surrogate forms")
        << QByteArray("== routes.txt\nroute_id,route_type,route_long_name\n"
                      "r,2,\xED\xA0\x80\nq,2,\xC0\xAF\n")
        << "routes.txt:2: not UTF-8 text";
}

void TestServiceFeedReader::refusesUnusableFeedNamingFileAndLine() {
    QFETCH(QByteArray, changes);
    QFETCH(QString, error);
    const Loaded loaded = load(changes);
    QVERIFY(!loaded.ok);
    QVERIFY2(loaded.error.startsWith(error), qPrintable(loaded.error));
}

void TestServiceFeedReader::skipsBadRowsAndCountsThem_data() {
    QTest::addColumn<QByteArray>("changes");
    QTest::addColumn<QStringList>("summary");
    QTest::addColumn<QString>("stops");
    const QByteArray header =
        "== stop_times.txt\ntrip_id,arrival_time,departure_time,stop_id,stop_sequence\n"
        "t,08:00:00,08:00:00,a,1\n";
    QTest::newRow("impossible time, unknown stop, unknown trip")
        << header + "t,25:61:00,25:61:00,b,2\nt,09:00:00,09:00:00,nowhere,3\n"
                    "x,09:00:00,09:00:00,b,4\nt,10:00:00,10:00:00,b,5\nt,26:00:00,26:00:00,a,6\n"
                    "t,1:2:3,,a,7\n"
        << QStringList{u"2 rows skipped: bad time (first at stop_times.txt:3)"_s,
                       u"1 row skipped: unknown stop (first at stop_times.txt:4)"_s,
                       u"1 row skipped: unknown trip (first at stop_times.txt:5)"_s}
        << "甲 08:00,乙 10:00,甲 02:00";
    QTest::newRow("duplicate stop_sequence keeps the first row")
        << header + "t,09:00:00,09:00:00,b,2\nt,09:30:00,09:30:00,a,2\n"
        << QStringList{u"1 row skipped: duplicate stop_sequence (first at stop_times.txt:4)"_s}
        << "甲 08:00,乙 09:00";
    QTest::newRow("going back in time")
        << header + "t,07:00:00,07:00:00,b,2\nt,09:00:00,09:00:00,b,3\n"
        << QStringList{"1 row skipped: time before the previous stop (first at "
                       u"stop_times.txt:3)"_s}
        << "甲 08:00,乙 09:00";
    QTest::newRow("trip left with one stop is no train")
        << header + "t,xx,09:00:00,b,2\n"
        << QStringList{u"1 row skipped: bad time (first at stop_times.txt:3)"_s,
                       u"1 row skipped: trip with fewer than two timed stops (first at "_s
                       u"trips.txt:2)"_s}
        << "";
    QTest::newRow("last stop without a time")
        << header + "t,09:00:00,09:00:00,b,2\nt,,,a,3\n"
        << QStringList{u"1 row skipped: stop time without a time (first at stop_times.txt:4)"_s}
        << "甲 08:00,乙 09:00";
    QTest::newRow("entrance is no stop")
        << QByteArray("== stops.txt\nstop_id,stop_name,location_type\na,甲,\nb,乙,\ne,口,2\n") +
               header + "t,08:30:00,08:30:00,e,2\nt,09:00:00,09:00:00,b,3\n"
        << QStringList{u"1 row skipped: stop is an entrance or node (first at "
                       "stop_times.txt:3)"_s}
        << "甲 08:00,乙 09:00";
    QTest::newRow("trip of an unknown route or service")
        << QByteArray("== trips.txt\nroute_id,service_id,trip_id,trip_short_name\nr,all,t,K1\n"
                      "q,all,u,K2\nr,never,v,K3\n")
        << QStringList{u"1 row skipped: unknown route (first at trips.txt:3)"_s,
                       u"1 row skipped: unknown service (first at trips.txt:4)"_s}
        << "甲 08:00,乙 09:00";
    QTest::newRow("bad frequency period")
        << QByteArray("== frequencies.txt\ntrip_id,start_time,end_time,headway_secs\n"
                      "t,10:00:00,09:00:00,600\nt,10:00:00,11:00:00,0\n")
        << QStringList{u"2 rows skipped: bad headway or period (first at frequencies.txt:2)"_s}
        << "甲 08:00,乙 09:00";
}

void TestServiceFeedReader::skipsBadRowsAndCountsThem() {
    QFETCH(QByteArray, changes);
    QFETCH(QStringList, summary);
    QFETCH(QString, stops);
    const Loaded loaded = load(changes);
    QVERIFY2(loaded.ok, qPrintable(loaded.error));
    QCOMPARE(loaded.faults.summary(), summary);
    QCOMPARE(loaded.stops, stops);
}

void TestServiceFeedReader::opensFoldersAndZipFiles_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("error");
    QTest::newRow("folder") << "folder"
                            << "";
    QTest::newRow("zip") << "zip"
                         << "";
    QTest::newRow("zip with the tables in a folder") << "zip/feed/"
                                                     << "";
    QTest::newRow("file that is no zip") << "text"
                                         << "feed: not a feed folder or zip file";
    QTest::newRow("nothing there") << "none"
                                   << "feed: no such file or folder";
    QTest::newRow("FIFO as the feed") << "fifo"
                                      << "feed: not a feed folder or zip file (not a regular "
                                         "file)";
    QTest::newRow("FIFO as a table") << "folder with a FIFO"
                                     << "stops.txt: not a regular file (a FIFO)";
}

void TestServiceFeedReader::opensFoldersAndZipFiles() {
    QFETCH(QString, kind);
    QFETCH(QString, error);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("feed"));
    if (kind == u"folder") {
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("feed")) && writeFeedFolder(path, base));
    } else if (kind.startsWith(u"zip")) {
        QVERIFY(writeZip(path, base, kind.mid(4)));
    } else if (kind == u"fifo") {
        QVERIFY(::mkfifo(QFile::encodeName(path).constData(), 0600) == 0);
    } else if (kind == u"folder with a FIFO") {
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("feed")) && writeFeedFolder(path, base));
        const QByteArray table = QFile::encodeName(path + QStringLiteral("/stops.txt"));
        QVERIFY(QFile::remove(QString::fromUtf8(table)) && ::mkfifo(table.constData(), 0600) == 0);
    } else if (kind == u"text") {
        QFile text(path);
        QVERIFY(text.open(QIODevice::WriteOnly) && text.write(base) > 0);
    }
    QString why;
    const std::optional<Timetable> t = Timetable::load(path, day, nullptr, &why);
    if (!error.isEmpty()) {
        QVERIFY(!t);
        QVERIFY2(why.startsWith(dir.filePath(error)) || why.startsWith(error), qPrintable(why));
        return;
    }
    QVERIFY2(t, qPrintable(why));
    QVERIFY(t->findTrain(QStringLiteral("K1")));
}

void TestServiceFeedReader::refusesTableAtItsLimitAtOnce_data() {
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QString>("error");
    QTest::newRow("rows") << QByteArray("a,甲\n")
                          << "stops.txt:100001: more than 100000 lines, more than the service "
                             "reads from one table";
    QTest::newRow("blank lines") << QByteArray("\n") << "stops.txt:100001: more than 100000 lines";
    QTest::newRow("blank CRLF lines") << QByteArray("  \r\n") << "stops.txt:100001: more than";
    QTest::newRow("bytes") << QByteArray(1000, 'x') + '\n'
                           << "larger than 4 MiB, more than the service reads";
    QTest::newRow("one endless line") << QByteArray(1000, 'x') << "stops.txt:2: record longer";
}

void TestServiceFeedReader::refusesTableAtItsLimitAtOnce() {
    QFETCH(QByteArray, line);
    QFETCH(QString, error);
    const EndlessSource source(line);
    int rows = 0;
    QString why;
    QVERIFY(!gtfs::readTable(
        source, gtfs::stopsTable, {{"stop_id", true}, {"stop_name"}},
        [&](const gtfs::Record&) { ++rows; }, {100'000, 4 << 20}, &why));
    QVERIFY2(why.startsWith(u"stops.txt:") && why.contains(error), qPrintable(why));
    QVERIFY(rows < 100'000);
    QVERIFY2(source.pieces < 100, qPrintable(QString::number(source.pieces)));
}

QTEST_APPLESS_MAIN(TestServiceFeedReader)
#include "tst_service_feedreader.moc"
