#include "updateroutes.h"

#include "release/releasesignature.h"

#include <QFile>

#include <memory>

namespace {

constexpr size_t kChunkBytes = 64 * 1024;

// The download routes. Besides the sound one, faulty variants the updater's tests rely on:
// a body cut short of its length, files that are missing, altered after signing, a release
// without its signature, and a sum list altered after signing.
struct Route {
    const char* prefix;
    bool cut = false;         // close the connection after half of each file
    bool tampered = false;    // flip the last byte of each file
    bool noSignature = false; // no signature
    bool forgedList = false;  // the sum list changed after it was signed
    bool missing = false;     // nothing at all
};
constexpr Route kRoutes[] = {
    {.prefix = "files"},
    {.prefix = "short", .cut = true},
    {.prefix = "tampered", .tampered = true},
    {.prefix = "unsigned", .noSignature = true},
    {.prefix = "forged", .forgedList = true},
    {.prefix = "missing", .missing = true},
};

// Streams the file in chunks so a large release costs no memory.
void sendFile(const QString& path, const Route& route, httplib::Response& res) {
    auto file = std::make_shared<QFile>(path);
    if (!file->open(QIODevice::ReadOnly)) {
        res.status = 404;
        return;
    }
    const size_t length = size_t(file->size());
    const size_t sent = route.cut ? length / 2 : length;
    const bool tampered = route.tampered;
    res.set_content_provider(
        length, "application/octet-stream",
        [file, sent, length, tampered](size_t offset, size_t, httplib::DataSink& sink) {
            if (offset >= sent)
                return false;
            QByteArray chunk(qsizetype(std::min(kChunkBytes, sent - offset)), Qt::Uninitialized);
            if (!file->seek(qint64(offset)) || file->read(chunk.data(), chunk.size()) <= 0)
                return false;
            if (tampered && offset + size_t(chunk.size()) == length)
                chunk.back() = char(chunk.back() ^ 1);
            return sink.write(chunk.constData(), size_t(chunk.size()));
        });
    res.set_header("Cache-Control", "no-cache");
}

void sendBytes(const QByteArray& bytes, httplib::Response& res) {
    res.set_content(bytes.constData(), size_t(bytes.size()), "text/plain; charset=utf-8");
    res.set_header("Cache-Control", "no-cache");
}

QByteArray forged(QByteArray list) {
    // One digit of the last digest changed: still well formed, no longer what was signed.
    const qsizetype at = list.lastIndexOf('\n', list.size() - 2) + 1;
    if (at > 0 && at < list.size())
        list[at] = list[at] == '0' ? '1' : '0';
    return list;
}

} // namespace

void addUpdateRoutes(httplib::Server& http, const Release& release) {
    http.Get(
        "/update/manifest.txt", [&release](const httplib::Request& req, httplib::Response& res) {
            // Absolute, so the updater can fetch from whichever address and port the client used.
            const QString base = QStringLiteral("http://%1/update/files/")
                                     .arg(QString::fromStdString(req.get_header_value("Host")));
            const QByteArray text = manifestText(release, base);
            res.set_content(text.constData(), size_t(text.size()), "text/plain; charset=gb2312");
            res.set_header("Cache-Control", "no-cache");
        });
    for (const Route& route : kRoutes) {
        const std::string pattern = std::string("/update/") + route.prefix + "/([^/]+)";
        http.Get(pattern, [&release, &route](const httplib::Request& req, httplib::Response& res) {
            const QString name = QString::fromUtf8(req.matches[1].str());
            if (route.missing) {
                res.status = 404;
            } else if (name == release::kSumListName && !release.sumList.isEmpty()) {
                sendBytes(route.forgedList ? forged(release.sumList) : release.sumList, res);
            } else if (name == release::kSignatureName && !release.signature.isEmpty() &&
                       !route.noSignature) {
                sendBytes(release.signature, res);
            } else if (const std::optional<QString> path = releaseFilePath(release, name)) {
                sendFile(*path, route, res);
            } else {
                res.status = 404;
            }
        });
    }
}
