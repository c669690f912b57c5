#pragma once

#include "trainlist.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// Rows taken out of a result list carry the columns a user sees: the invisible detail link
// stays behind.

// Tab-separated, the header line first, one line per row ending in "\n"; tabs and line breaks
// inside a cell become blanks so the columns stay put.
QString rowsAsText(TrainList list, const QList<QStringList>& rows);

// A CSV file: UTF-8 with a byte order mark (spreadsheets then read the Chinese), the header
// first, "\r\n" line ends, cells quoted where they hold a comma, a quote or a line break.
QByteArray rowsAsCsv(TrainList list, const QList<QStringList>& rows);
