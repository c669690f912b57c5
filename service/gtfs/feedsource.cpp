#include "feedsource.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <zip.h>

namespace gtfs {

namespace {

constexpr qint64 pieceSize = 256 * 1024;

class FolderSource : public FeedSource {
public:
    explicit FolderSource(const QString& path)
        : m_dir(path) {}

    bool has(const QString& table) const override { return QFileInfo::exists(file(table)); }

    bool read(const QString& table, const Sink& sink, QString* error) const override {
        QFile f(file(table));
        if (!f.open(QIODevice::ReadOnly)) {
            *error = QStringLiteral("%1: cannot read: %2").arg(table, f.errorString());
            return false;
        }
        QByteArray buffer(pieceSize, Qt::Uninitialized);
        for (;;) {
            const qint64 n = f.read(buffer.data(), pieceSize);
            if (n < 0) {
                *error = QStringLiteral("%1: cannot read: %2").arg(table, f.errorString());
                return false;
            }
            if (n == 0 || !sink(std::string_view(buffer.constData(), size_t(n))))
                return true;
        }
    }

private:
    QString file(const QString& table) const { return m_dir.filePath(table); }
    QDir m_dir;
};

class ZipSource : public FeedSource {
public:
    explicit ZipSource(zip_t* archive)
        : m_zip(archive) {}
    ~ZipSource() override { zip_discard(m_zip); }
    ZipSource(const ZipSource&) = delete;
    ZipSource& operator=(const ZipSource&) = delete;

    bool has(const QString& table) const override { return index(table) >= 0; }

    bool read(const QString& table, const Sink& sink, QString* error) const override {
        const zip_int64_t i = index(table);
        zip_file_t* f = i < 0 ? nullptr : zip_fopen_index(m_zip, zip_uint64_t(i), 0);
        if (!f) {
            *error = QStringLiteral("%1: cannot read from the zip file: %2")
                         .arg(table, QString::fromUtf8(zip_strerror(m_zip)));
            return false;
        }
        QByteArray buffer(pieceSize, Qt::Uninitialized);
        bool ok = true;
        for (;;) {
            const zip_int64_t n = zip_fread(f, buffer.data(), zip_uint64_t(pieceSize));
            if (n < 0) {
                *error = QStringLiteral("%1: cannot read from the zip file: %2")
                             .arg(table, QString::fromUtf8(zip_file_strerror(f)));
                ok = false;
                break;
            }
            if (n == 0 || !sink(std::string_view(buffer.constData(), size_t(n))))
                break;
        }
        zip_fclose(f);
        return ok;
    }

private:
    // Feeds are often zipped with their folder: a table is found in any folder of the archive.
    zip_int64_t index(const QString& table) const {
        return zip_name_locate(m_zip, table.toUtf8().constData(), ZIP_FL_NODIR);
    }
    zip_t* m_zip;
};

} // namespace

bool MemorySource::read(const QString& table, const Sink& sink, QString* error) const {
    const auto it = m_tables.constFind(table);
    if (it == m_tables.constEnd()) {
        *error = QStringLiteral("%1: not in the feed").arg(table);
        return false;
    }
    sink(std::string_view(it->constData(), size_t(it->size())));
    return true;
}

std::unique_ptr<FeedSource> FeedSource::open(const QString& path, QString* error) {
    const QFileInfo info(path);
    if (info.isDir())
        return std::make_unique<FolderSource>(path);
    if (!info.exists()) {
        *error = QStringLiteral("%1: no such file or folder").arg(path);
        return nullptr;
    }
    int code = 0;
    zip_t* archive = zip_open(QFile::encodeName(path).constData(), ZIP_RDONLY, &code);
    if (!archive) {
        zip_error_t why;
        zip_error_init_with_code(&why, code);
        *error = QStringLiteral("%1: not a feed folder or zip file (%2)")
                     .arg(path, QString::fromUtf8(zip_error_strerror(&why)));
        zip_error_fini(&why);
        return nullptr;
    }
    return std::make_unique<ZipSource>(archive);
}

} // namespace gtfs
