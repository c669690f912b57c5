#include "config.h"

#include "profile.h"

namespace {

QString overridden(const QString& iniPath, const char* key, const QString& builtIn) {
    const QString value =
        readProfileString(QStringLiteral("services"), QString::fromLatin1(key), iniPath);
    return value.isEmpty() ? builtIn : value;
}

} // namespace

ServiceAddresses builtInAddresses() {
    const QString root = QStringLiteral("http://127.0.0.1:%1/").arg(kBundledServicePort);
    return {
        root,
        root + QStringLiteral("fare/"),
        root + QStringLiteral("update/manifest.txt"),
        root + QStringLiteral("banner.html"),
        root + QStringLiteral("portal.html"),
    };
}

QString asBase(const QString& address) {
    return address.endsWith(u'/') ? address : address + u'/';
}

ServiceAddresses loadServiceAddresses(const QString& iniPath) {
    const ServiceAddresses builtIn = builtInAddresses();
    return {
        asBase(overridden(iniPath, "timetable", builtIn.timetable)),
        asBase(overridden(iniPath, "fare", builtIn.fare)),
        overridden(iniPath, "manifest", builtIn.manifest),
        overridden(iniPath, "banner", builtIn.banner),
        overridden(iniPath, "portal", builtIn.portal),
    };
}
