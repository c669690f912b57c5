// INI reading and writing on arbitrary file contents. Each input is written to one reused
// temporary file; the section and key come from the file itself when it names usable ones,
// so the fuzzer reaches the replace-in-place paths and not only "append a new section".
#include "module1.h"
#include "release/profile.h"

#include <QFile>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

[[noreturn]] void fail(const char* what) {
    std::fprintf(stderr, "fuzz_profile: %s\n", what);
    std::abort();
}

void check(bool ok, const char* what) {
    if (!ok)
        fail(what);
}

struct Files {
    QTemporaryDir dir; // removed when the fuzzer exits normally
    QString original = dir.filePath(QStringLiteral("fuzz.ini"));
    QString copy = dir.filePath(QStringLiteral("copy.ini"));
};

const Files& files() {
    static const Files f;
    if (!f.dir.isValid())
        fail("no temporary folder");
    return f;
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile out(path);
    check(out.open(QIODevice::WriteOnly | QIODevice::Truncate), "cannot write the temp file");
    check(out.write(bytes) == bytes.size(), "short write to the temp file");
}

// A name that survives a write and read back as itself: a "[name]" header or a "key=" line.
bool usableName(QStringView name, bool isKey) {
    if (name.isEmpty() || name != name.trimmed() || name.contains(u'\n') || name.contains(u'\r'))
        return false;
    if (isKey)
        return !name.contains(u'=') && !name.startsWith(u'[');
    return !name.contains(u']');
}

struct Names {
    QString section = QStringLiteral("system");
    QString key = QStringLiteral("Version");
};

// The first section header of the text and the first key under it, when usable.
Names namesFrom(const QString& text) {
    Names names;
    bool inSection = false;
    QStringView body(text);
    if (body.startsWith(QChar(0xFEFF)))
        body = body.sliced(1); // the reader skips a byte-order mark too
    for (QStringView line : body.split(u'\n')) {
        const QStringView t = line.trimmed();
        if (t.startsWith(u'[') && t.contains(u']')) {
            if (inSection)
                break;
            const QStringView name = t.sliced(1, t.indexOf(u']') - 1).trimmed();
            if (!usableName(name, false))
                break;
            names.section = name.toString();
            inSection = true;
        } else if (inSection && line.contains(u'=')) {
            const QStringView key = line.first(line.indexOf(u'=')).trimmed();
            if (usableName(key, true))
                names.key = key.toString();
            break;
        }
    }
    return names;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const Files& f = files();
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    writeFile(f.original, bytes);

    const QString text = QString::fromUtf8(bytes);
    const Names names = namesFrom(text);
    const QString pairs[][2] = {
        {names.section, names.key},
        {names.section.toUpper(), names.key.toLower()}, // names match without regard to case
        {QStringLiteral("services"), QStringLiteral("timetable")},
        {QString(), QString()},
    };
    for (const auto& [section, key] : pairs) {
        const QString value = readProfileString(section, key, f.original);
        check(value == value.trimmed(), "a value kept surrounding blanks");
        const QString limited = Module1::ReadIniString(section, key, f.original);
        check(limited == value.left(Module1::kIniValueLimit), "ReadIniString is not the cut value");
    }

    // The value is taken from the input so it carries line breaks and blanks of all kinds.
    const QString value = text.left(80);
    writeFile(f.copy, bytes);
    check(writeProfileString(names.section, names.key, value, f.copy), "the write failed");
    QString expected = value;
    expected.remove(u'\r');
    expected.remove(u'\n');
    check(readProfileString(names.section, names.key, f.copy) == expected.trimmed(),
          "the written key does not read back");
    return 0;
}
