#include "detail.h"

#include "address.h"
#include "markers.h"

#include "contract/pagecontract.h"

bool opensDirectly(const QString& detailLink) {
    return detailLink.contains(contract::displayPage);
}

QByteArray detailAddress(const QString& timetableBase, const QString& link) {
    return encodeRelativePath(timetableBase) + encodeRelativePath(link);
}

DetailPageOutcome judgeDetailPage(const QString& timetableBase, QStringView buffer) {
    DetailPageOutcome outcome;
    if (markers::contains(buffer, contract::missingParameters)) {
        outcome.message = kMissingParametersMessage.toString();
        outcome.buffer = buffer.toString();
        return outcome;
    }
    // The details sit between the table's middle and bottom pictures.
    const auto details = markers::piece(buffer, contract::train::detailsStart, 1);
    if (details && !details->isEmpty())
        buffer = markers::upTo(*details, contract::train::detailsEnd);
    outcome.buffer = buffer.toString();

    const auto frame = markers::piece(buffer, contract::train::frame, 1);
    if (frame && !frame->isEmpty()) {
        outcome.navigate =
            detailAddress(timetableBase, markers::upTo(*frame, u" name=").toString());
    }
    return outcome;
}
