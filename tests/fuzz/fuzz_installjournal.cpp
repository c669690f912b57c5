// The recovery of an interrupted update on any journal bytes: a program folder with two
// installed files, two staged ones and the input as the journal. Whatever the journal says, the
// recovery touches nothing outside the program folder and leaves no staging behind unless it
// reports a failure.
#include "release/installjournal.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

void check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "fuzz_installjournal: %s\n", what);
        std::abort();
    }
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    check(file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
              file.write(bytes) == bytes.size(),
          "cannot write a fixture file");
}

struct Root {
    QTemporaryDir dir; // removed when the fuzzer exits normally
    QString app = dir.filePath(QStringLiteral("app"));
    // A file beside the program folder, and one in a folder beside it.
    QString beside = dir.filePath(QStringLiteral("beside"));
    QString nested = dir.filePath(QStringLiteral("other/nested"));
};

const Root& root() {
    static const Root r;
    check(r.dir.isValid(), "no temporary folder");
    return r;
}

QStringList everythingUnder(const QString& folder) {
    QStringList names;
    const QDir dir(folder);
    for (const QString& name :
         dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot)) {
        names.append(name);
        if (QFileInfo(dir.filePath(name)).isDir() && name != QLatin1String("app"))
            names.append(everythingUnder(dir.filePath(name)));
    }
    return names;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const Root& r = root();
    QDir(r.app).removeRecursively();
    QDir().mkpath(r.app);
    QDir().mkpath(QFileInfo(r.nested).path());
    writeFile(r.beside, "beside\n");
    writeFile(r.nested, "nested\n");
    const QStringList before = everythingUnder(r.dir.path());
    writeFile(r.app + "/a", "old a\n");
    writeFile(r.app + "/b", "old b\n");
    writeFile(r.app + "/system.ini", "[system]\nVersion=3.0\n");
    check(QDir().mkpath(install::stagingFolder(r.app)), "cannot make the staging folder");
    writeFile(install::stagedPath(r.app, 0), "new a\n");
    writeFile(install::stagedPath(r.app, 1), "new b\n");
    writeFile(install::stagingFolder(r.app) + "/journal",
              QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));

    const install::RecoveryOutcome outcome =
        install::recoverInterruptedInstall(r.app, r.app + "/system.ini");
    check(everythingUnder(r.dir.path()) == before, "the recovery wrote outside the program folder");
    QFile beside(r.beside), nested(r.nested);
    check(beside.open(QIODevice::ReadOnly) && beside.readAll() == "beside\n" &&
              nested.open(QIODevice::ReadOnly) && nested.readAll() == "nested\n",
          "the recovery changed a file outside the program folder");
    if (outcome.what != install::Recovery::Failed)
        check(!QFileInfo::exists(install::stagingFolder(r.app)), "the staging folder was left");
    return 0;
}
