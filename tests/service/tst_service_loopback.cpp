#include "inprocessservice.h"
#include "pages.h"
#include "server.h"

#include <QtTest>

#include <httplib.h>

#include <atomic>
#include <thread>

namespace {

// The client puts GB2312 text into addresses as percent-encoded bytes.
std::string gb(const QString& text) {
    return pages::toGb(text).toPercentEncoding().toStdString();
}

std::string findPath(const std::string& query) {
    return "/show_findresult.asp?" + query;
}

std::string zz(const QString& from, const QString& to) {
    return findPath("CX_Type=ZZ&FZ=" + gb(from) + "&DZ=" + gb(to) + "&CC=&CZ=");
}

std::string leg(const QString& city) {
    return findPath("CX_Type=ZZ&DZ=" + gb(city));
}

QString body(const httplib::Result& res) {
    return res ? pages::fromGb(QByteArray::fromStdString(res->body)) : QString();
}

QString sessionOf(const httplib::Result& res) {
    const QString cookie = QString::fromStdString(res->get_header_value("Set-Cookie"));
    return cookie.section(QLatin1Char(';'), 0, 0);
}

QStringList departures(const QString& page) {
    QStringList out;
    QStringList rows = QString(page).remove(QLatin1Char('"')).split(QStringLiteral("<td width=75"));
    rows.removeFirst();
    for (const QString& row : std::as_const(rows)) {
        const QString from = row.section(QStringLiteral("align=center>"), 1, 1)
                                 .section(QStringLiteral("</td>"), 0, 0);
        if (from != QStringLiteral("发站"))
            out << from;
    }
    return out;
}

// The sample, counting how often its station list is asked for; the first `failures` asks
// fail as a live site that does not answer would.
class CountingSource : public source::FixedTimetable {
public:
    CountingSource(Timetable data, int failures)
        : FixedTimetable(std::move(data))
        , m_failures(failures) {}
    source::Answer<QList<StationListEntry>> stations(QDate day) override {
        if (m_asked++ < m_failures)
            return {{}, {QStringLiteral("车站表暂时取不到。")}};
        return FixedTimetable::stations(day);
    }
    int asked() const { return m_asked; }

private:
    std::atomic<int> m_asked{0};
    const int m_failures;
};

// Stations of a stations.txt, without its "#" lines.
QStringList listed(const std::string& list) {
    QStringList lines = pages::fromGb(QByteArray::fromStdString(list)).split(u'\n');
    lines.removeIf([](const QString& line) { return line.isEmpty() || line.startsWith(u'#'); });
    return lines;
}

} // namespace

class TestServiceLoopback : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void answersEveryQueryInGb2312_data();
    void answersEveryQueryInGb2312();
    void legQueryStartsFromRememberedDeparture();
    void servesStationListOfTheDay();
    void acceptsRawGbBytes();
    void makesTheStationListOnceForRequestsMeanwhile();
    void asksAgainForAStationListTheSourceCouldNotGive();

private:
    static Timetable sample();

    std::unique_ptr<TimetableServer> m_server;
    std::thread m_thread;
    int m_port = 0;
};

void TestServiceLoopback::initTestCase() {
    QString error;
    std::optional<Timetable> data = Timetable::loadBuiltIn(&error);
    QVERIFY2(data, qPrintable(error));
    m_server = std::make_unique<TimetableServer>(std::move(*data));
    m_port = m_server->bind(QStringLiteral("127.0.0.1"), 0);
    QVERIFY(m_port > 0);
    m_thread = std::thread([this] { m_server->serve(); });
}

void TestServiceLoopback::cleanupTestCase() {
    if (m_server)
        m_server->stop();
    if (m_thread.joinable())
        m_thread.join();
    m_server.reset();
}

void TestServiceLoopback::answersEveryQueryInGb2312_data() {
    QTest::addColumn<QByteArray>("path");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<QString>("absent");

    auto row = [](const char* name, const std::string& path, int status, const QString& expected,
                  const QString& absent = QString()) {
        QTest::newRow(name) << QByteArray::fromStdString(path) << status << expected << absent;
    };
    const QString rowMarker = QStringLiteral("<td width=\"75\"");
    row("train number", findPath("CX_Type=CC&FZ=&DZ=&CZ=&CC=K7"), 200, QStringLiteral("<b>K7</b>"),
        pages::noTrainPhrase);
    row("train number with trailing blank", findPath("CX_Type=CC&FZ=&DZ=&CZ=&CC=K7%20"), 200,
        pages::noTrainPhrase);
    row("& and # stay inside the field", findPath("CX_Type=CC&FZ=&DZ=&CZ=&CC=K7%26x%23y"), 200,
        QStringLiteral("K7&amp;x#y"));
    row("through trains", zz(QStringLiteral("西安"), QStringLiteral("北京北")), 200,
        QStringLiteral("<b>K1363</b>"), pages::transferPhrase);
    row("departure with trailing blank", zz(QStringLiteral("西安 "), QStringLiteral("北京北")), 200,
        pages::noDeparturePhrase);
    row("unknown arrival", zz(QStringLiteral("西安"), QStringLiteral("北京东")), 200,
        pages::noArrivalPhrase);
    row("transfer offered", zz(QStringLiteral("拉萨"), QStringLiteral("上海虹桥")), 200,
        QStringLiteral("<a href='zzz.asp?zzz=西宁&dz=上海虹桥'>西宁</a>"), rowMarker);
    row("no way at all", zz(QStringLiteral("哈尔滨西"), QStringLiteral("拉萨")), 200,
        pages::noTrainPhrase, pages::transferPhrase);
    row("station", findPath("CX_Type=CZ&FZ=&DZ=&CC=&CZ=" + gb(QStringLiteral("宝鸡南"))), 200,
        QStringLiteral("<b>D2653</b>"));
    row("unknown station lists nothing", findPath("CX_Type=CZ&FZ=&DZ=&CC=&CZ=x"), 200,
        QStringLiteral("始发站</td>"), QStringLiteral("<b>"));
    row("leg without session", leg(QStringLiteral("拉萨")), 200, QStringLiteral("<b>Z21</b>"));
    row("leg to nowhere", leg(QStringLiteral("x")), 200, pages::noTrainPhrase);
    row("unknown query type", findPath("CX_Type=XX"), 400, QStringLiteral("查询类型不正确"));
    row("unknown path", "/default.asp", 404, QStringLiteral("找不到所请求的网页"));
    row("banner", "/banner.html", 200, QStringLiteral("一键查时刻"), QStringLiteral("<script"));
    row("portal", "/portal.html", 200, QStringLiteral("Quillon"));
    row("stop page", "/show_train.asp?cc=K7", 200, QStringLiteral("<td>昆明</td>"),
        QStringLiteral("参数丢失"));
    row("frame page, any case", "/train.asp?cc=k7", 200,
        QStringLiteral("<iframe src=\"show_train.asp?cc=K7\" name="), QStringLiteral("参数丢失"));
    row("frame page without number", "/train.asp", 200, QStringLiteral("参数丢失"));
    row("stop page of unknown train", "/show_train.asp?cc=K0", 200, QStringLiteral("参数丢失"));
    row("fare page", "/fare/chaxun/resultc.asp?txtcheci=G1", 200,
        QStringLiteral("详<br>细<br>情<br>况"), QStringLiteral("信息目前暂不存在"));
    row("fare of unknown train", "/fare/chaxun/resultc.asp?txtcheci=G0", 200,
        QStringLiteral("信息目前暂不存在。"));
}

void TestServiceLoopback::answersEveryQueryInGb2312() {
    QFETCH(QByteArray, path);
    QFETCH(int, status);
    QFETCH(QString, expected);
    QFETCH(QString, absent);
    httplib::Client client("127.0.0.1", m_port);
    const httplib::Result res = client.Get(path.toStdString());
    QVERIFY(res);
    QCOMPARE(res->status, status);
    QCOMPARE(res->get_header_value("Content-Type"), std::string("text/html; charset=gb2312"));
    QStringDecoder gb2312("GB2312");
    const QString page = gb2312.decode(QByteArray::fromStdString(res->body));
    QVERIFY(!gb2312.hasError());
    QVERIFY2(page.contains(expected), qPrintable(page));
    if (!absent.isEmpty())
        QVERIFY(!page.contains(absent));
}

void TestServiceLoopback::legQueryStartsFromRememberedDeparture() {
    httplib::Client client("127.0.0.1", m_port);
    const httplib::Result lhasa = client.Get(zz(QStringLiteral("拉萨"), QStringLiteral("上海")));
    QVERIFY(lhasa && body(lhasa).contains(pages::transferPhrase));
    const QString a = sessionOf(lhasa);
    const QString b = sessionOf(client.Get(zz(QStringLiteral("银川"), QStringLiteral("上海虹桥"))));
    QVERIFY(a.startsWith(QStringLiteral("QLSESSION=")) && a != b);
    const httplib::Headers asA{{"Cookie", "theme=blue; " + a.toStdString()}};
    const httplib::Headers asB{{"Cookie", b.toStdString()}};
    const QStringList fromLhasa{QStringLiteral("拉萨"), QStringLiteral("拉萨")};
    QCOMPARE(departures(body(client.Get(leg(QStringLiteral("西安")), asA))), fromLhasa);
    const QStringList fromYinchuan(4, QStringLiteral("银川")); // its four trains a day
    QCOMPARE(departures(body(client.Get(leg(QStringLiteral("西安北")), asB))), fromYinchuan);

    // Without a known session every train reaching the city counts, from its origin.
    const QStringList anyOrigin = departures(body(client.Get(leg(QStringLiteral("西安")))));
    QVERIFY(anyOrigin.size() > 2 && anyOrigin.contains(QStringLiteral("北京西")));
    const httplib::Headers stale{{"Cookie", "QLSESSION=0123"}};
    QCOMPARE(departures(body(client.Get(leg(QStringLiteral("西安")), stale))), anyOrigin);

    // A new station-to-station query in a session replaces its departure.
    const httplib::Result again =
        client.Get(zz(QStringLiteral("银川"), QStringLiteral("兰州")), asA);
    QCOMPARE(sessionOf(again), a);
    QCOMPARE(departures(body(client.Get(leg(QStringLiteral("西安北")), asA))), fromYinchuan);
}

void TestServiceLoopback::servesStationListOfTheDay() {
    httplib::Client client("127.0.0.1", m_port);
    const httplib::Result res = client.Get("/stations.txt");
    QVERIFY(res);
    QCOMPARE(res->status, 200);
    QCOMPARE(res->get_header_value("Content-Type"), std::string("text/plain; charset=gb2312"));
    const QStringList lines = body(res).split(u'\n', Qt::SkipEmptyParts);
    QVERIFY(lines.value(0).startsWith(u'#'));
    // Every station of the sample, each once; cities come on "#city" lines.
    QCOMPARE(lines.size() - lines.filter(QRegularExpression(QStringLiteral("^#"))).size(), 284);
    QVERIFY(lines.contains(QStringLiteral("西安	xian	xa	20")));
    QVERIFY(lines.contains(QStringLiteral("重庆北	chongqingbei	cqb	92")));
}

void TestServiceLoopback::acceptsRawGbBytes() {
    httplib::Client client("127.0.0.1", m_port);
    client.set_url_encode(false);
    const std::string raw = pages::toGb(QStringLiteral("宝鸡南")).toStdString();
    const httplib::Result res = client.Get(findPath("CX_Type=CZ&FZ=&DZ=&CC=&CZ=" + raw));
    QVERIFY(res);
    QVERIFY(body(res).contains(QStringLiteral("<b>D2653</b>")));
}

Timetable TestServiceLoopback::sample() {
    QString error;
    std::optional<Timetable> data = Timetable::loadBuiltIn(&error);
    if (!data)
        qFatal("no sample: %s", qPrintable(error));
    return std::move(*data);
}

void TestServiceLoopback::makesTheStationListOnceForRequestsMeanwhile() {
    const auto source = std::make_shared<CountingSource>(sample(), 0);
    auto server = std::make_unique<TimetableServer>(source);
    TimetableServer& served = *server;
    const InProcessService service(std::move(server));
    QVERIFY(service.isListening());
    // As the program does: the list is made beside the first requests, which wait for it.
    std::thread prepare([&] { served.prepareStationList(); });
    std::vector<std::string> lists(8);
    std::vector<std::thread> clients;
    for (std::string& list : lists) {
        clients.emplace_back([&] {
            httplib::Client client(service.base().chopped(1).toStdString());
            if (const httplib::Result res = client.Get("/stations.txt"); res && res->status == 200)
                list = res->body;
        });
    }
    for (std::thread& client : clients)
        client.join();
    prepare.join();
    QCOMPARE(source->asked(), 1);
    for (const std::string& list : lists)
        QCOMPARE(list, lists.front());
    QCOMPARE(listed(lists.front()).size(), 284);
}

void TestServiceLoopback::asksAgainForAStationListTheSourceCouldNotGive() {
    const auto source = std::make_shared<CountingSource>(sample(), 1);
    const InProcessService service(std::make_unique<TimetableServer>(source));
    httplib::Client client(service.base().chopped(1).toStdString());
    const httplib::Result failed = client.Get("/stations.txt");
    QVERIFY(failed);
    QCOMPARE(listed(failed->body).size(), 0);
    const httplib::Result again = client.Get("/stations.txt");
    QVERIFY(again);
    QCOMPARE(listed(again->body).size(), 284);
    QCOMPARE(listed(client.Get("/stations.txt")->body).size(), 284);
    QCOMPARE(source->asked(), 2); // the good list is kept
}

QTEST_APPLESS_MAIN(TestServiceLoopback)
#include "tst_service_loopback.moc"
