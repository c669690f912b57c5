#include "updateroutes.h"

#include <QFile>

#include <memory>

namespace {

constexpr size_t kChunkBytes = 64 * 1024;

// Streams the file in chunks so a large release costs no memory; with `cut`, the connection
// closes after half the announced length.
void sendFile(const QString& path, bool cut, httplib::Response& res) {
    auto file = std::make_shared<QFile>(path);
    if (!file->open(QIODevice::ReadOnly)) {
        res.status = 404;
        return;
    }
    const size_t length = size_t(file->size());
    const size_t sent = cut ? length / 2 : length;
    res.set_content_provider(
        length, "application/octet-stream",
        [file, sent](size_t offset, size_t, httplib::DataSink& sink) {
            if (offset >= sent)
                return false;
            QByteArray chunk(qsizetype(std::min(kChunkBytes, sent - offset)), Qt::Uninitialized);
            if (!file->seek(qint64(offset)) || file->read(chunk.data(), chunk.size()) <= 0)
                return false;
            return sink.write(chunk.constData(), size_t(chunk.size()));
        });
    res.set_header("Cache-Control", "no-cache");
}

QString requestedName(const httplib::Request& req) {
    return QString::fromUtf8(req.matches[1].str());
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
    for (const bool cut : {false, true}) {
        http.Get(cut ? R"(/update/short/([^/]+))" : R"(/update/files/([^/]+))",
                 [&release, cut](const httplib::Request& req, httplib::Response& res) {
                     const std::optional<QString> path =
                         releaseFilePath(release, requestedName(req));
                     if (!path) {
                         res.status = 404;
                         return;
                     }
                     sendFile(*path, cut, res);
                 });
    }
    http.Get(R"(/update/missing/([^/]+))",
             [](const httplib::Request&, httplib::Response& res) { res.status = 404; });
}
