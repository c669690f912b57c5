#include "feedsource.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <zip.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace gtfs {

namespace {

constexpr qint64 pieceSize = 256 * 1024;

class FolderSource : public FeedSource {
public:
    explicit FolderSource(const QString& path)
        : m_dir(path) {}

    bool has(const QString& table) const override { return QFileInfo::exists(file(table)); }

    std::int64_t size(const QString& table) const override {
        const QFileInfo info(file(table));
        return info.isFile() ? info.size() : -1;
    }

    bool read(const QString& table, const Sink& sink, QString* error) const override {
        const QString path = file(table);
        // The built-in sample lives in Qt's resources, which only QFile reads.
        if (path.startsWith(u':'))
            return readResource(table, path, sink, error);
        // Opened without waiting (a FIFO would block until a writer comes), then refused
        // unless it is a regular file.
        const int fd =
            ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) {
            *error = QStringLiteral("%1: cannot read: %2")
                         .arg(table, QString::fromLocal8Bit(std::strerror(errno)));
            return false;
        }
        struct stat st {};
        if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
            ::close(fd);
            *error = QStringLiteral("%1: not a regular file (%2); a feed table must be a file")
                         .arg(table, S_ISFIFO(st.st_mode)   ? QStringLiteral("a FIFO")
                                     : S_ISDIR(st.st_mode)  ? QStringLiteral("a folder")
                                     : S_ISSOCK(st.st_mode) ? QStringLiteral("a socket")
                                                            : QStringLiteral("a device"));
            return false;
        }
        std::vector<char> buffer(static_cast<size_t>(pieceSize));
        bool ok = true;
        for (;;) {
            const ssize_t n = ::read(fd, buffer.data(), buffer.size());
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0) {
                *error = QStringLiteral("%1: cannot read: %2")
                             .arg(table, QString::fromLocal8Bit(std::strerror(errno)));
                ok = false;
                break;
            }
            if (n == 0 || !sink(std::string_view(buffer.data(), size_t(n))))
                break;
        }
        ::close(fd);
        return ok;
    }

private:
    static bool readResource(const QString& table, const QString& path, const Sink& sink,
                             QString* error) {
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly)) {
            *error = QStringLiteral("%1: cannot read: %2").arg(table, f.errorString());
            return false;
        }
        const QByteArray bytes = f.readAll();
        sink(std::string_view(bytes.constData(), size_t(bytes.size())));
        return true;
    }

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

    std::int64_t size(const QString& table) const override {
        const zip_int64_t i = index(table);
        zip_stat_t st;
        if (i < 0 || zip_stat_index(m_zip, zip_uint64_t(i), 0, &st) != 0 ||
            !(st.valid & ZIP_STAT_SIZE))
            return -1;
        return std::int64_t(st.size);
    }

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
    if (!info.isFile()) {
        *error = QStringLiteral("%1: not a feed folder or zip file (not a regular file)").arg(path);
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
