#include "detail.h"

#include "address.h"
#include "markers.h"

bool opensDirectly(const QString& detailLink) {
    return detailLink.contains(QStringLiteral("show_"));
}

QByteArray detailAddress(const QString& timetableBase, const QString& link) {
    return encodeBase(timetableBase) + encodeRelativePath(link);
}

DetailPageOutcome judgeDetailPage(const QString& timetableBase, QStringView buffer) {
    DetailPageOutcome outcome;
    if (markers::contains(buffer, kMissingParameters)) {
        outcome.message = kMissingParametersMessage.toString();
        outcome.buffer = buffer.toString();
        return outcome;
    }
    // The details sit between the table's middle and bottom pictures.
    const auto details = markers::piece(buffer, u"Img/Tab_Mid.gif", 1);
    if (details && !details->isEmpty())
        buffer = markers::upTo(*details, u"Img/Tab_Bottom.gif");
    outcome.buffer = buffer.toString();

    const auto frame = markers::piece(buffer, u"<iframe src=", 1);
    if (frame && !frame->isEmpty()) {
        outcome.navigate =
            detailAddress(timetableBase, markers::upTo(*frame, u" name=").toString());
    }
    return outcome;
}
