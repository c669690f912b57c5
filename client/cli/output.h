#pragma once

#include <QByteArray>
#include <QStringView>

struct QueryReport;

// One UTF-8 JSON object with the keys query, address, message, rows, status, transfers,
// caption and error, each null where it does not apply.
QByteArray formatJson(const QueryReport& report);

// The list's headers and rows aligned for a terminal, then the status text and any message.
QByteArray formatTable(const QueryReport& report);

// Terminal cells a text takes: East Asian wide and fullwidth characters take two.
int displayWidth(QStringView text);
