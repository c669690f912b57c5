#pragma once

#include <QList>
#include <QString>
#include <QStringView>

// One transfer city offered by a station-to-station page, with its leg query path.
struct TransferEntry {
    QString city;
    QString path; // relative to the timetable base; empty when the anchor had no link
};

// ZhongZhuan's list: the page buffer cut to the part after "请选择中转站" and one entry per
// anchor in it.
struct TransferList {
    QString buffer;
    QList<TransferEntry> entries;
};

TransferList scrapeTransferList(QStringView buffer);

// "共找到N个中转站。", the transfer window's caption.
QString transferCaption(qsizetype cities);
// "乘车方案：N", the second status panel after the transfer window closes.
QString transferPlansStatus(qsizetype cities);
