#include "servicedays.h"

#include "contract/pagecontract.h"

namespace {

// The entities an escaped text can hold: the five named ones and numeric references.
QString decodeEntities(QStringView html) {
    static const std::pair<QStringView, QChar> named[] = {
        {u"&amp;", u'&'}, {u"&lt;", u'<'}, {u"&gt;", u'>'}, {u"&quot;", u'"'}, {u"&apos;", u'\''}};
    QString out;
    out.reserve(html.size());
    for (qsizetype i = 0; i < html.size();) {
        if (html[i] != u'&') {
            out += html[i++];
            continue;
        }
        const qsizetype semi = html.indexOf(u';', i);
        const QStringView entity = semi < 0 ? QStringView() : html.mid(i, semi - i + 1);
        bool done = false;
        for (const auto& [name, c] : named) {
            if (entity == name) {
                out += c;
                done = true;
            }
        }
        if (!done && entity.startsWith(u"&#") && entity.size() > 3) {
            const QStringView digits = entity.mid(2, entity.size() - 3);
            bool ok = false;
            const uint code = digits.startsWith(u'x') || digits.startsWith(u'X')
                                  ? digits.mid(1).toUInt(&ok, 16)
                                  : digits.toUInt(&ok, 10);
            if (ok && code > 0 && code <= 0x10FFFF && (code < 0xD800 || code > 0xDFFF)) {
                const char32_t c = code;
                out += QString::fromUcs4(&c, 1);
                done = true;
            }
        }
        if (done) {
            i = semi + 1;
        } else {
            out += html[i++];
        }
    }
    return out;
}

QDate compactDate(QStringView text) {
    return QDate::fromString(text.toString(), QStringLiteral("yyyyMMdd"));
}

// The value of the header line's field that starts with `name` ("dates "); null without one.
QString headerField(const QByteArray& stationList, QStringView name) {
    const qsizetype end = stationList.indexOf('\n');
    const QString header =
        QString::fromLatin1(stationList.left(end < 0 ? stationList.size() : end));
    if (!header.startsWith(u'#'))
        return {};
    for (QStringView field : QStringView(header).split(u'\t')) {
        field = field.trimmed();
        if (field.startsWith(name))
            return field.mid(name.size()).trimmed().toString();
    }
    return {};
}

} // namespace

ServiceDays parseServiceDays(const QByteArray& stationList) {
    const QString dates = headerField(stationList, contract::stations::datesField);
    const QList<QStringView> parts = QStringView(dates).split(u' ', Qt::SkipEmptyParts);
    if (parts.size() != 2)
        return {};
    const QDate first = compactDate(parts[0]), last = compactDate(parts[1]);
    if (!first.isValid() || !last.isValid() || last < first)
        return {};
    return {true, first, last};
}

QString parseServiceSource(const QByteArray& stationList) {
    return headerField(stationList, contract::stations::sourceField);
}

QString sourceCredit(const QString& source) {
    if (source == contract::stations::sampleSource)
        return QStringLiteral("样例时刻表");
    if (source == contract::stations::liveSource)
        return QStringLiteral("官方网站实时数据");
    return {};
}

DayBases basesForDay(const QString& timetableBase, const QString& fareBase, QDate day, QDate today,
                     const ServiceDays& days) {
    DayBases out{timetableBase, fareBase, {}, {}};
    if (!day.isValid())
        return out;
    if (!days.known) {
        if (day != today)
            out.notice = kNoDayQueries.toString();
        return out;
    }
    const QString prefix = QStringLiteral("d/") + day.toString(QStringLiteral("yyyyMMdd")) + u'/';
    out.timetable = timetableBase + prefix;
    if (fareBase.startsWith(timetableBase))
        out.fare = out.timetable + fareBase.mid(timetableBase.size());
    out.day = day;
    return out;
}

QString cutReason(QStringView buffer) {
    static constexpr QStringView open = u"<p class=reason>";
    const qsizetype from = buffer.indexOf(open);
    if (from < 0)
        return {};
    const QStringView rest = buffer.mid(from + open.size());
    const qsizetype to = rest.indexOf(u"</p>");
    const QStringView html = to < 0 ? rest : rest.left(to);
    return decodeEntities(html).trimmed();
}

QString dayText(QDate day) {
    static const char16_t* const weekdays[] = {u"一", u"二", u"三", u"四", u"五", u"六", u"日"};
    return day.toString(Qt::ISODate) + QStringLiteral("（周") +
           QString::fromUtf16(weekdays[day.dayOfWeek() - 1]) + QStringLiteral("）");
}

QString dayStatus(const DayBases& bases, const QString& reason) {
    if (!reason.isEmpty())
        return reason;
    if (!bases.notice.isEmpty())
        return bases.notice;
    return bases.day.isValid() ? dayText(bases.day) + QStringLiteral(" 的车次")
                               : QStringLiteral("今天的车次");
}
