#include "loopbackserver.h"

#include "module1.h"
#include "pagefetcher.h"
#include "scriptedserver.h"
#include "stationsource.h"

#include <QElapsedTimer>
#include <QTest>
#include <QTimer>

#include <httplib.h>

#include <atomic>
#include <thread>

using namespace Qt::StringLiterals;

using namespace std::chrono_literals;

namespace {
const char* const kGb2312 = "text/html; charset=gb2312";
}

class FetchPageTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void decodesBytes_data();
    void decodesBytes();
    void errorPageBodyIsReturned();
    void sendsIfModifiedSinceAndFollowsRedirects();
    void keepsCookiesAcrossRequests();
    void pageLoadRemovesDoubleQuotesOnly();
    void unreachableAddressGivesEmptyText();
    void stalledServerTimesOut();
    void oversizedBodyFails();
    void eventLoopRunsDuringTransfer();
    void misbehavingServerFails_data();
    void misbehavingServerFails();
    void declaredCharsetWins_data();
    void declaredCharsetWins();
    void onlyWholeStationListsCount_data();
    void onlyWholeStationListsCount();

private:
    LoopbackServer m_http;
    std::atomic<bool> m_stopping{false};
    std::string m_ifModifiedSince;
};

void FetchPageTest::initTestCase() {
    httplib::Server& s = m_http.server;
    s.Get("/missing", [](const httplib::Request&, httplib::Response& res) {
        res.status = 404;
        res.set_content("<html>\xCE\xF7\xB0\xB2 404</html>", kGb2312);
    });
    s.Get("/moved",
          [](const httplib::Request&, httplib::Response& res) { res.set_redirect("/echo"); });
    s.Get("/echo", [this](const httplib::Request& req, httplib::Response& res) {
        m_ifModifiedSince = req.get_header_value("If-Modified-Since");
        res.set_content("echo", kGb2312);
    });
    s.Get("/login", [](const httplib::Request&, httplib::Response& res) {
        res.set_header("Set-Cookie", "SESSION=abc; Path=/");
        res.set_content("ok", kGb2312);
    });
    s.Get("/whoami", [](const httplib::Request& req, httplib::Response& res) {
        res.set_content(req.get_header_value("Cookie"), kGb2312);
    });
    s.Get("/quotes", [](const httplib::Request&, httplib::Response& res) {
        res.set_content("<a href=\"x\">\r\n\"K7\"</a>\n", kGb2312);
    });
    s.Get("/stall", [this](const httplib::Request&, httplib::Response& res) {
        for (int i = 0; i < 100 && !m_stopping; ++i)
            std::this_thread::sleep_for(50ms);
        res.set_content("late", kGb2312);
    });
    s.Get("/slow", [](const httplib::Request&, httplib::Response& res) {
        std::this_thread::sleep_for(300ms);
        res.set_content("slow", kGb2312);
    });
    s.Get("/big", [](const httplib::Request&, httplib::Response& res) {
        res.set_content(std::string(5000, 'x'), kGb2312);
    });
    s.Get("/utf8", [](const httplib::Request&, httplib::Response& res) {
        res.set_content("\xE8\xA5\xBF\xE5\xAE\x89", "text/html; charset=UTF-8");
    });
    s.Get("/gbk", [](const httplib::Request&, httplib::Response& res) {
        res.set_content("\xCE\xF7\xB0\xB2", "text/html; charset=\"GBK\"");
    });
    s.Get("/undeclared", [](const httplib::Request&, httplib::Response& res) {
        res.set_content("\xCE\xF7\xB0\xB2", "text/html");
    });
    m_http.start();
}

void FetchPageTest::cleanupTestCase() {
    m_stopping = true;
}

void FetchPageTest::decodesBytes_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("charset");
    QTest::addColumn<QString>("text");
    QTest::newRow("gb2312") << QByteArray("\xCE\xF7\xB0\xB2") << "gb2312"
                            << "西安";
    QTest::newRow("GB2312 any case") << QByteArray("\xB1\xB1\xBE\xA9") << "GB2312"
                                     << "北京";
    QTest::newRow("gbk-only character through gb18030")
        << QByteArray("\x95\x4E") << "gb2312" << QString(QChar(0x6607));
    QTest::newRow("invalid byte becomes U+FFFD") << QByteArray("K\xFF"
                                                               "7")
                                                 << "gb2312" << QStringLiteral("K\uFFFD7");
    QTest::newRow("cut multi-byte character at the end")
        << QByteArray("A\xCE") << "gb2312" << QStringLiteral("A\uFFFD");
    QTest::newRow("unknown charset falls back to utf-8") << QByteArray("\xE8\xA5\xBF") << "nope"
                                                         << "西";
}

void FetchPageTest::decodesBytes() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, charset);
    QFETCH(QString, text);
    QCOMPARE(Module1::DecodeBytes(bytes, charset), text);
}

void FetchPageTest::errorPageBodyIsReturned() {
    PageFetcher fetcher;
    const FetchResult result = fetcher.fetch(m_http.url(u"/missing"_s), QStringLiteral("gb2312"));
    QVERIFY(result.ok());
    QCOMPARE(result.text, QStringLiteral("<html>西安 404</html>"));
}

void FetchPageTest::sendsIfModifiedSinceAndFollowsRedirects() {
    PageFetcher fetcher;
    QCOMPARE(fetcher.fetch(m_http.url(u"/moved"_s), QStringLiteral("gb2312")).text,
             QStringLiteral("echo"));
    QCOMPARE(m_ifModifiedSince, std::string("0"));
}

void FetchPageTest::keepsCookiesAcrossRequests() {
    QCOMPARE(Module1::FetchPage(m_http.url(u"/login"_s), QStringLiteral("gb2312")),
             QStringLiteral("ok"));
    QCOMPARE(Module1::FetchPage(m_http.url(u"/whoami"_s), QStringLiteral("gb2312")),
             QStringLiteral("SESSION=abc"));
}

void FetchPageTest::pageLoadRemovesDoubleQuotesOnly() {
    const FetchResult page = loadPage(PageFetcher::shared(), m_http.url(u"/quotes"_s));
    QCOMPARE(page.text, QStringLiteral("<a href=x>\r\nK7</a>\n"));
}

void FetchPageTest::unreachableAddressGivesEmptyText() {
    PageFetcher fetcher;
    // Port 1 on loopback: nothing listens there, so the connection is refused at once.
    const FetchResult result =
        fetcher.fetch(QUrl(QStringLiteral("http://127.0.0.1:1/x")), QStringLiteral("gb2312"));
    QCOMPARE(result.text, QString());
    QVERIFY2(result.error.startsWith(QStringLiteral("无法连接")), qPrintable(result.error));
    QCOMPARE(
        Module1::FetchPage(QUrl(QStringLiteral("http://127.0.0.1:1/x")), QStringLiteral("gb2312")),
        QString());
}

void FetchPageTest::stalledServerTimesOut() {
    PageFetcher fetcher;
    FetchPolicy policy;
    policy.stall = 300ms;
    fetcher.setPolicy(policy);
    QElapsedTimer clock;
    clock.start();
    const FetchResult result = fetcher.fetch(m_http.url(u"/stall"_s), QStringLiteral("gb2312"));
    QCOMPARE(result.text, QString());
    QCOMPARE(result.error, fetchtext::stalled(300ms));
    QVERIFY(clock.elapsed() < 4000);
}

void FetchPageTest::oversizedBodyFails() {
    PageFetcher fetcher;
    FetchPolicy policy;
    policy.maxBytes = 1000;
    fetcher.setPolicy(policy);
    const FetchResult result = fetcher.fetch(m_http.url(u"/big"_s), QStringLiteral("gb2312"));
    QCOMPARE(result.text, QString());
    QCOMPARE(result.error, fetchtext::tooLarge(1000));

    policy.maxBytes = 5000;
    fetcher.setPolicy(policy);
    QCOMPARE(fetcher.fetch(m_http.url(u"/big"_s), QStringLiteral("gb2312")).text.size(), 5000);
}

void FetchPageTest::eventLoopRunsDuringTransfer() {
    PageFetcher fetcher;
    int ticks = 0;
    bool busyDuringTransfer = false;
    QTimer timer;
    timer.setInterval(10);
    connect(&timer, &QTimer::timeout, this, [&] {
        ++ticks;
        busyDuringTransfer = busyDuringTransfer || fetcher.busy();
    });
    timer.start();
    QCOMPARE(fetcher.fetch(m_http.url(u"/slow"_s), QStringLiteral("gb2312")).text,
             QStringLiteral("slow"));
    QVERIFY(ticks > 3);
    QVERIFY(busyDuringTransfer);
    QVERIFY(!fetcher.busy());
}

void FetchPageTest::misbehavingServerFails_data() {
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<int>("ending");
    QTest::addColumn<int>("trickleMs");
    QTest::addColumn<QString>("error");
    const int close = int(ScriptedServer::Ending::Close);
    const int reset = int(ScriptedServer::Ending::Reset);
    const int hold = int(ScriptedServer::Ending::Hold);
    QTest::newRow("chunked without its last chunk")
        << QByteArray("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n")
        << close << 0 << fetchtext::cutShort();
    QTest::newRow("no length, then reset") << QByteArray("HTTP/1.1 200 OK\r\n\r\n<tr><td>K7</td>")
                                           << reset << 0 << fetchtext::cutShort();
    QTest::newRow("shorter than its length")
        << QByteArray("HTTP/1.1 200 OK\r\nContent-Length: 50\r\n\r\nhello") << close << 0
        << fetchtext::cutShort();
    QTest::newRow("body that cannot be expanded")
        << QByteArray("HTTP/1.1 200 OK\r\nContent-Encoding: gzip\r\nContent-Length: 5\r\n\r\nhello")
        << close << 0 << fetchtext::undecodable();
    QTest::newRow("declared length over the cap")
        << QByteArray("HTTP/1.1 200 OK\r\nContent-Length: 999999999\r\n\r\nx") << hold << 0
        << fetchtext::tooLarge(1000);
    QTest::newRow("one byte at a time past the deadline")
        << QByteArray("HTTP/1.1 200 OK\r\nContent-Length: 40\r\n\r\n") + QByteArray(40, 'x')
        << close << 40 << fetchtext::timedOut(600ms);
    QTest::newRow("redirect to another port")
        << QByteArray("HTTP/1.1 302 Found\r\nLocation: ") + m_http.url(u"/echo"_s).toUtf8() +
               "\r\nContent-Length: 0\r\n\r\n"
        << close << 0 << fetchtext::redirectElsewhere(QUrl(m_http.url(u"/echo"_s)));
}

void FetchPageTest::misbehavingServerFails() {
    QFETCH(QByteArray, reply);
    QFETCH(int, ending);
    QFETCH(int, trickleMs);
    QFETCH(QString, error);
    ScriptedServer server;
    server.reply = reply.toStdString();
    server.ending = ScriptedServer::Ending(ending);
    server.trickle = std::chrono::milliseconds(trickleMs);
    PageFetcher fetcher;
    FetchPolicy policy;
    policy.deadline = 600ms;
    policy.maxBytes = 1000;
    fetcher.setPolicy(policy);
    QElapsedTimer clock;
    clock.start();
    const FetchResult result = fetcher.fetch(server.url(), QStringLiteral("gb2312"));
    QCOMPARE(result.error, error);
    QCOMPARE(result.text, QString());
    QVERIFY(clock.elapsed() < 5000);
}

void FetchPageTest::declaredCharsetWins_data() {
    QTest::addColumn<QString>("path");
    QTest::newRow("utf-8") << "/utf8";
    QTest::newRow("quoted gbk") << "/gbk";
    QTest::newRow("none declared: gb2312") << "/undeclared";
}

void FetchPageTest::declaredCharsetWins() {
    QFETCH(QString, path);
    PageFetcher fetcher;
    QCOMPARE(fetcher.fetch(m_http.url(path), QStringLiteral("gb2312")).text,
             QStringLiteral("西安"));
}

void FetchPageTest::onlyWholeStationListsCount_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("valid");
    const QByteArray good("# name\tpinyin\tinitials\ttrains\n\xCE\xF7\xB0\xB2\txian\txa\t12\n");
    QTest::newRow("whole list") << good << true;
    // As the service writes it: its cities on comment lines among the stations.
    const QByteArray city("#city\t\xCE\xF7\xB0\xB2\txian\txa\t20\t\xCE\xF7\xB0\xB2 "
                          "\xCE\xF7\xB0\xB2\xB1\xB1\n");
    QTest::newRow("with its cities") << good + city << true;
    QTest::newRow("a city of one station") << good + "#city\tx\tx\tx\t1\tx\n" << true;
    QTest::newRow("bytes no GB18030 text has") << QByteArray("\xFF\xFE\txian\txa\t12\n") << false;
    QTest::newRow("a line that is no station") << good + "garbage\n" << false;
    QTest::newRow("empty") << QByteArray() << false;
}

void FetchPageTest::onlyWholeStationListsCount() {
    QFETCH(QByteArray, bytes);
    QFETCH(bool, valid);
    QCOMPARE(isStationList(bytes), valid);
}

QTEST_GUILESS_MAIN(FetchPageTest)
#include "tst_fetchpage.moc"
