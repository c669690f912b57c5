#include "config.h"

#include "release/profile.h"

#include "contract/pagecontract.h"

#include <QCommandLineParser>

namespace {

QString overridden(const QString& iniPath, const char* key, const QString& builtIn) {
    const QString value =
        readProfileString(QStringLiteral("services"), QString::fromLatin1(key), iniPath);
    return value.isEmpty() ? builtIn : value;
}

} // namespace

std::chrono::milliseconds readPageDeadline(const QString& iniPath) {
    bool ok = false;
    const int value =
        readProfileString(QStringLiteral("network"), QStringLiteral("deadline"), iniPath)
            .toInt(&ok);
    if (!ok || value < 1 || value > 3600)
        return std::chrono::milliseconds(30000);
    return std::chrono::seconds(value);
}

ServiceAddresses builtInAddresses() {
    const QString root = QStringLiteral("http://127.0.0.1:%1/").arg(contract::defaultPort);
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

namespace {

struct AddressOption {
    const char* key;
    const char* option;
    QString ServiceAddresses::*member;
    bool isBase;
};

constexpr AddressOption kAddressOptions[] = {
    {"timetable", "timetable-base", &ServiceAddresses::timetable, true},
    {"fare", "fare-base", &ServiceAddresses::fare, true},
    {"manifest", "manifest-url", &ServiceAddresses::manifest, false},
    {"banner", "banner-url", &ServiceAddresses::banner, false},
    {"portal", "portal-url", &ServiceAddresses::portal, false},
};

} // namespace

void addServiceOptions(QCommandLineParser& parser, const QStringList& keys) {
    for (const AddressOption& option : kAddressOptions) {
        if (keys.contains(QLatin1String(option.key))) {
            parser.addOption(QCommandLineOption(
                QString::fromLatin1(option.option),
                QStringLiteral("%1 address (overrides system.ini)").arg(QLatin1String(option.key)),
                QStringLiteral("URL")));
        }
    }
}

ServiceAddresses applyServiceOptions(ServiceAddresses addresses, const QCommandLineParser& parser) {
    for (const AddressOption& option : kAddressOptions) {
        const QString name = QString::fromLatin1(option.option);
        if (parser.optionNames().contains(name)) { // given, so also offered
            const QString value = parser.value(name);
            addresses.*option.member = option.isBase ? asBase(value) : value;
        }
    }
    return addresses;
}
