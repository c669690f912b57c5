#pragma once

#include <QByteArray>
#include <QString>
#include <QStringView>

#include <optional>

// Show2Search's decision: how a row's detail link reaches the detail window.

// A link that names a display page ("show_" anywhere in it) is opened directly.
bool opensDirectly(const QString& detailLink);

// The address of a relative link on the timetable base.
QByteArray detailAddress(const QString& timetableBase, const QString& link);

// What a fetched detail page leads to: the message "参数丢失。", or the address of the embedded
// frame to open (nullopt when the page names none), and the page buffer cut to the details.
struct DetailPageOutcome {
    QString message;
    std::optional<QByteArray> navigate;
    QString buffer;
};
DetailPageOutcome judgeDetailPage(const QString& timetableBase, QStringView buffer);

inline constexpr QStringView kMissingParametersMessage = u"参数丢失。";
