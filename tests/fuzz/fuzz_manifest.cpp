// The update manifest from the network, through the client's update check to the updater's
// command line: whatever the bytes, the fields join back to the body, and every file name the
// updater accepts lies directly inside its program folder.
#include "release/installjournal.h"
#include "release/manifest.h"

#include <QDir>
#include <QStringDecoder>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

void check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "fuzz_manifest: %s\n", what);
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    QStringDecoder decode("GB18030"); // how the client reads the manifest
    const QString body = decode(bytes);
    const QStringList fields = manifest::cutManifest(body);
    check(body.isEmpty() ? fields.isEmpty() : fields.join(u'|') == body,
          "the fields do not join back to the body");
    QString version = QStringLiteral("3.0"), files;
    manifest::applyManifest(fields, version, files);
    check(manifest::manifestField(fields, manifest::kFilesField) == files || fields.size() <= 2,
          "the file list is not the file field");
    if (manifest::offersUpdate(version, QStringLiteral("3.0")))
        check(version.size() <= manifest::kMaxVersionLength, "an overlong version is offered");

    const QString folder = QStringLiteral("/program");
    const manifest::UpdaterCommand command =
        manifest::parseUpdaterArgument(manifest::updaterArgument(version, files));
    if (!version.contains(u'?'))
        check(command.version == version, "the updater reads another version");
    for (const QString& name : command.files) {
        if (!manifest::isSafeUpdateFileName(name))
            continue;
        const QString path = QDir::cleanPath(install::targetPath(folder, name));
        check(path.startsWith(folder + u'/') && path.count(u'/') == 2,
              "an accepted name leads outside the program folder");
    }
    return 0;
}
