#pragma once

#include <QByteArray>
#include <QStringView>

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

struct QueryReport;

// One leg of a transfer query run after the station-to-station query (--legs).
struct LegResult {
    QString city;
    QString path;
    const QueryReport* report;
};
using Legs = std::optional<QList<LegResult>>;

// One UTF-8 JSON object with the keys query, address, message, rows, status, transfers,
// caption, error, navigate, labels and legs, each null where it does not apply.
QByteArray formatJson(const QueryReport& report, const Legs& legs = std::nullopt);

// The list's headers and rows aligned for a terminal, then the status text and any message.
QByteArray formatTable(const QueryReport& report, const Legs& legs = std::nullopt);

// The completion of a typed station name: the same object as formatJson with every key null
// but "stations" (the names in rank order, null when the list could not be had) and "error".
QByteArray formatCompletionJson(const QStringList& stations, const QString& error);
// One name a line, then any error.
QByteArray formatCompletionTable(const QStringList& stations, const QString& error);

// Terminal cells a text takes: East Asian wide and fullwidth characters take two.
int displayWidth(QStringView text);
