#include "transfer.h"

#include "markers.h"
#include "queries.h"

#include "contract/pagecontract.h"

TransferList scrapeTransferList(QStringView buffer) {
    TransferList list;
    const auto offered = markers::piece(buffer, contract::transferOffer, 1);
    list.buffer = (offered ? *offered : buffer).toString();

    const QStringView text = list.buffer;
    constexpr QStringView kAnchor = u"<a";
    for (qsizetype at = text.indexOf(kAnchor); at >= 0;) {
        const qsizetype start = at + kAnchor.size();
        at = text.indexOf(kAnchor, start);
        const QStringView anchor = text.sliced(start, (at < 0 ? text.size() : at) - start);
        TransferEntry entry;
        // An anchor without a link gets no path of its own, rather than the one before it,
        // which would send a click on this city to another city's trains.
        if (const auto href = markers::piece(anchor, u"href='", 1)) {
            const QStringView link = markers::upTo(*href, u"'>");
            entry.path = markers::upTo(link, u"&dz=").toString();
            entry.path.replace(contract::transferLink.toString(),
                               QLatin1String(contract::listQuery) + QStringLiteral("ZZ&DZ="));
        }
        if (const auto name = markers::piece(anchor, u"'>", 1))
            entry.city = markers::upTo(*name, u"</a>").toString();
        list.entries.append(std::move(entry));
    }
    return list;
}

QString transferCaption(qsizetype cities) {
    return QStringLiteral("共找到") + QString::number(cities) + QStringLiteral("个中转站。");
}

QString transferPlansStatus(qsizetype cities) {
    return QStringLiteral("乘车方案：") + QString::number(cities);
}
