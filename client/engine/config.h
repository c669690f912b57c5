#pragma once

#include <QString>
#include <QStringList>

#include <chrono>

// Where the services live. Built in: the bundled service on 127.0.0.1; an optional section
// [services] of system.ini (keys "timetable", "fare", "manifest", "banner", "portal") and
// command-line options override them, in that order.
struct ServiceAddresses {
    QString timetable; // base of every query, detail and leg address; ends in "/"
    QString fare;      // base of the fare query; ends in "/"
    QString manifest;  // the update manifest
    QString banner;    // the banner page shown in the main window
    QString portal;    // the publisher's portal page
};

ServiceAddresses builtInAddresses();

// The built-in addresses with those of the [services] section of `iniPath` laid over them.
ServiceAddresses loadServiceAddresses(const QString& iniPath);

// A base address ends in "/", so relative paths can be appended to it.
QString asBase(const QString& address);

// The page deadline the user set: "[network] deadline" of `iniPath`, in seconds (1-3600);
// 30 s without one.
std::chrono::milliseconds readPageDeadline(const QString& iniPath);

class QCommandLineParser;

// Command-line options over the configured addresses: "--timetable-base", "--fare-base",
// "--manifest-url", "--banner-url", "--portal-url". A program offers those it names by key
// ("timetable", "fare", "manifest", "banner", "portal").
void addServiceOptions(QCommandLineParser& parser, const QStringList& keys);
ServiceAddresses applyServiceOptions(ServiceAddresses addresses, const QCommandLineParser& parser);
