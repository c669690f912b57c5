#include "server.h"
#include "timetable.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <memory>
#include <thread>
#include <vector>

namespace {

// One client socket on 127.0.0.1; blocking unless asked otherwise, closed with the object.
class Client {
public:
    explicit Client(int port, bool wait = true) {
        m_fd = ::socket(AF_INET, SOCK_STREAM, 0);
        if (!wait)
            ::fcntl(m_fd, F_SETFL, O_NONBLOCK);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_port = htons(quint16(port));
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        m_connected = ::connect(m_fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
    }
    ~Client() { ::close(m_fd); }
    Client(const Client&) = delete;
    Client& operator=(const Client&) = delete;

    bool connected(int waitMs) {
        pollfd p{m_fd, POLLOUT, 0};
        int error = 0;
        socklen_t size = sizeof error;
        return m_connected ||
               (::poll(&p, 1, waitMs) > 0 &&
                ::getsockopt(m_fd, SOL_SOCKET, SO_ERROR, &error, &size) == 0 && error == 0);
    }
    void send(const QByteArray& bytes) {
        ::send(m_fd, bytes.constData(), size_t(bytes.size()), MSG_NOSIGNAL);
    }
    // Everything that arrives until the server closes, `answers` answers are in, or `waitMs`.
    QByteArray receive(int waitMs, int answers = 1) {
        QByteArray got;
        QElapsedTimer clock;
        clock.start();
        char buffer[65536];
        while (clock.elapsed() < waitMs && got.count("HTTP/1.1 ") < answers + 0) {
            pollfd p{m_fd, POLLIN, 0};
            if (::poll(&p, 1, 20) <= 0)
                continue;
            const ssize_t n = ::recv(m_fd, buffer, sizeof buffer, 0);
            if (n <= 0)
                break;
            got.append(buffer, qsizetype(n));
        }
        // The rest of the last answer's body.
        while (clock.elapsed() < waitMs) {
            pollfd p{m_fd, POLLIN, 0};
            if (::poll(&p, 1, 50) <= 0)
                break;
            const ssize_t n = ::recv(m_fd, buffer, sizeof buffer, 0);
            if (n <= 0)
                break;
            got.append(buffer, qsizetype(n));
        }
        return got;
    }

private:
    int m_fd = -1;
    bool m_connected = false;
};

QByteArray get(const char* path, const QByteArray& extra = {}) {
    return QByteArray("GET ") + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\n" + extra + "\r\n";
}

} // namespace

class TestServiceLimits : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void answersBadRequestsAtOnce_data();
    void answersBadRequestsAtOnce();
    void slowAndIdleClientsDoNotStallOthers();
    void listenQueueIsTheSystems();
    void secondServiceRefusesPortInUse();

private:
    std::unique_ptr<TimetableServer> m_server;
    std::thread m_thread;
    int m_port = 0;
    QTemporaryDir m_folder;
};

void TestServiceLimits::initTestCase() {
    QString error;
    std::optional<Timetable> data = Timetable::loadBuiltIn(&error);
    QVERIFY2(data, qPrintable(error));
    QFile file(m_folder.filePath(QStringLiteral("quillon")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(1024, 'q'));
    file.close();
    m_server = std::make_unique<TimetableServer>(std::move(*data));
    m_server->setRelease(
        {QStringLiteral("3.1"), {}, {QStringLiteral("quillon")}, m_folder.path(), {}, {}});
    m_port = m_server->bind(QStringLiteral("127.0.0.1"), 0);
    QVERIFY(m_port > 0);
    m_thread = std::thread([this] { m_server->serve(); });
}

void TestServiceLimits::cleanupTestCase() {
    if (m_server)
        m_server->stop();
    if (m_thread.joinable())
        m_thread.join();
}

void TestServiceLimits::answersBadRequestsAtOnce_data() {
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<int>("answers");
    QTest::addColumn<QByteArray>("expected");
    QTest::addColumn<QByteArray>("absent");

    QTest::newRow("two pipelined requests, answered in order")
        << get("/banner.html") + get("/stations.txt") << 2 << QByteArray("text/plain")
        << QByteArray();
    QByteArray lines;
    for (int i = 0; i < 200; ++i)
        lines += "X-Line-" + QByteArray::number(i) + ": 1\r\n";
    QTest::newRow("too many header lines")
        << get("/banner.html", lines) << 1 << QByteArray("HTTP/1.1 431 ")
        << QByteArray("HTTP/1.1 200");
    QByteArray wide;
    for (int i = 0; i < 40; ++i)
        wide += "X-Wide-" + QByteArray::number(i) + ": " + QByteArray(1000, 'w') + "\r\n";
    QTest::newRow("head too large") << get("/banner.html", wide) << 1 << QByteArray("HTTP/1.1 431 ")
                                    << QByteArray("HTTP/1.1 200");
    QTest::newRow("a body where none is taken")
        << get("/banner.html", "Content-Length: 209715200\r\n") + QByteArray(4096, 'b') << 1
        << QByteArray("HTTP/1.1 413 ") << QByteArray("HTTP/1.1 200");
    QTest::newRow("chunked body where none is taken")
        << get("/banner.html", "Transfer-Encoding: chunked\r\n") + "5\r\nhello\r\n"
        << 1 << QByteArray("HTTP/1.1 413 ") << QByteArray("HTTP/1.1 200");
    QTest::newRow("range past the end of a file")
        << get("/update/files/quillon", "Range: bytes=99999999-\r\n") << 1
        << QByteArray("HTTP/1.1 416 ") << QByteArray("18446744");
    QTest::newRow("one range of a file")
        << get("/update/files/quillon", "Range: bytes=1000-\r\n") << 1
        << QByteArray("Content-Length: 24\r\n") << QByteArray();
    QTest::newRow("a page ignores ranges")
        << get("/banner.html", "Range: bytes=0-,0-,0-,0-,0-,0-,0-,0-\r\n") << 1
        << QByteArray("HTTP/1.1 200 ") << QByteArray("multipart");
    QTest::newRow("manifest ignores the Host header")
        << QByteArray("GET /update/manifest.txt HTTP/1.1\r\nHost: evil|x,y\r\n\r\n") << 1
        << QByteArray("|http://127.0.0.1:") << QByteArray("evil");
}

void TestServiceLimits::answersBadRequestsAtOnce() {
    QFETCH(QByteArray, request);
    QFETCH(int, answers);
    QFETCH(QByteArray, expected);
    QFETCH(QByteArray, absent);
    Client client(m_port);
    QElapsedTimer clock;
    clock.start();
    client.send(request);
    const QByteArray got = client.receive(3000, answers);
    QVERIFY2(clock.elapsed() < 2000, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(got.count("HTTP/1.1 "), answers);
    QVERIFY2(got.contains(expected), got.left(300).constData());
    if (!absent.isEmpty())
        QVERIFY2(!got.contains(absent), got.left(300).constData());
}

void TestServiceLimits::slowAndIdleClientsDoNotStallOthers() {
    // More held connections than the service has workers: idle ones, and ones trickling a
    // request head that never ends.
    std::vector<std::unique_ptr<Client>> held;
    for (int i = 0; i < 160; ++i) {
        held.push_back(std::make_unique<Client>(m_port));
        if (i % 2)
            held.back()->send("GET /banner.html HTTP/1.1\r\nX-Slow: ");
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    qint64 slowest = 0;
    for (int i = 0; i < 20; ++i) {
        QElapsedTimer clock;
        clock.start();
        Client client(m_port);
        client.send(get("/banner.html"));
        QVERIFY(client.receive(5000).startsWith("HTTP/1.1 200"));
        slowest = std::max(slowest, clock.elapsed());
    }
    QVERIFY2(slowest < 1000, qPrintable(QString::number(slowest)));
}

void TestServiceLimits::listenQueueIsTheSystems() {
    // Bound but not yet serving: every connection waits in the listen queue.
    QString error;
    std::optional<Timetable> data = Timetable::loadBuiltIn(&error);
    QVERIFY(data);
    TimetableServer server(std::move(*data));
    const int port = server.bind(QStringLiteral("127.0.0.1"), 0);
    QVERIFY(port > 0);
    std::vector<std::unique_ptr<Client>> clients;
    for (int i = 0; i < 64; ++i)
        clients.push_back(std::make_unique<Client>(port, false));
    int connected = 0;
    for (auto& client : clients)
        connected += client->connected(300) ? 1 : 0;
    QCOMPARE(connected, 64);
}

void TestServiceLimits::secondServiceRefusesPortInUse() {
    QString error;
    std::optional<Timetable> data = Timetable::loadBuiltIn(&error);
    QVERIFY(data);
    TimetableServer second(std::move(*data));
    QCOMPARE(second.bind(QStringLiteral("127.0.0.1"), m_port), -1);
}

QTEST_GUILESS_MAIN(TestServiceLimits)
#include "tst_service_limits.moc"
