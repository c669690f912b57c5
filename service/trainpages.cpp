#include "trainpages.h"

#include "pages.h"

namespace fares {

bool sellsSeatClasses(const Train& train) {
    return contract::isMultipleUnit(train.number);
}

QString fare(int km, int factorTenths) {
    // Counted in whole numbers so that halves round the same way on every machine.
    const qint64 scaled = qint64(km) * baseRatePer100000 * factorTenths * 2;
    const qint64 halves = (scaled + 500000) / 1000000;
    return QString::number(double(halves) / 2, 'f', 1);
}

Cells cells(const Train& train, int km) {
    Cells c{none, none, none, none, none, none};
    if (km <= 0)
        return c;
    if (sellsSeatClasses(train)) {
        c.firstClass = fare(km, firstClass);
        c.secondClass = fare(km, secondClass);
        return c;
    }
    c.hardSeat = fare(km, hardSeat);
    c.softSeat = fare(km, softSeat);
    c.hardSleeper =
        QStringList{fare(km, hardSleeper[0]), fare(km, hardSleeper[1]), fare(km, hardSleeper[2])}
            .join(u'/');
    c.softSleeper = fare(km, softSleeper[0]) + u'/' + fare(km, softSleeper[1]);
    return c;
}

QString formulaText() {
    return QStringLiteral(
        "样例票价，非真实票价：每公里 0.05861 元乘以席别系数，四舍五入到 0.5 元。"
        "硬座 1，软座 2，硬卧上/中/下 1.9/2.0/2.1，软卧上/下 3.0/3.2，二等座 5，一等座 8。"
        "高速动车、动车组只设一等座和二等座，其他列车只设座席和卧铺。");
}

} // namespace fares

namespace pages {

namespace {

// A distance as the pages show it; a distance the source does not know is a missing value.
QString kmText(int km) {
    return km < 0 ? fares::none : QStringLiteral("%1公里").arg(km);
}

// What the stop page and the fare page show of one stop.
struct StopText {
    QString arrival, departure, dwell, elapsed, day, km;
};

StopText stopText(const Train& train, const TrainStop& stop) {
    const int setOff = train.stops.first().departure;
    const int at = stop.arrival >= 0 ? stop.arrival : stop.departure;
    StopText t;
    t.arrival = stop.arrival >= 0 ? clockText(stop.arrival) : fares::none;
    t.departure = stop.departure >= 0 ? clockText(stop.departure) : fares::none;
    t.dwell = stop.arrival >= 0 && stop.departure >= 0
                  ? QStringLiteral("%1分").arg(stop.departure - stop.arrival)
                  : fares::none;
    t.elapsed = stop.arrival >= 0 ? durationText(stop.arrival - setOff) : fares::none;
    t.day = QString::number(at / (24 * 60) + 1);
    t.km = stop.km < 0 ? fares::none : QString::number(stop.km);
    return t;
}

QString dayNote(QDate day) {
    return day.isValid() ? QStringLiteral(" %1").arg(day.toString(Qt::ISODate)) : QString();
}

QString route(const Train& train) {
    return escapeHtml(train.stops.first().station) + QStringLiteral("—") +
           escapeHtml(train.stops.last().station);
}

QString td(const QString& attributes, const QString& text) {
    return QStringLiteral("<td%1>%2</td>").arg(attributes, text);
}

// Cells the client reads end their opening tag with one of its markers: "#ffffff>",
// "#e2e2e2>" or "center>" (which "align=center>" also ends with).
QString white(const QString& text, const QString& span = QString()) {
    return td(span + QStringLiteral(" bgcolor=\"#ffffff\""), text);
}
QString gray(const QString& text, const QString& lead = QString()) {
    return td(lead + QStringLiteral(" bgcolor=\"#e2e2e2\""), text);
}
QString centered(const QString& text) {
    return td(QStringLiteral(" align=\"center\""), text);
}
QString caption(const QString& text) {
    return td(QStringLiteral(" class=\"cap\""), text);
}

QString stationLink(const QString& station) {
    // Relative, so a page asked for under a date prefix links to the same day.
    return QStringLiteral(
               "<a href=\"../../show_findresult.asp?CX_Type=CZ&amp;FZ=&amp;DZ=&amp;CC=&amp;"
               "CZ=%1\">%2</a>")
        .arg(QString::fromLatin1(toGb(station).toPercentEncoding()), escapeHtml(station));
}

const QString stopsCss = QStringLiteral(
    "body{font:13px sans-serif;margin:8px;color:#222}h3{margin:4px 0 8px;color:#0b4f6c}"
    "table{border-collapse:collapse}td,th{border:1px solid #b8cfd6;padding:3px 8px;"
    "text-align:center}th{background:#e6f1f4}tr:nth-child(even) td{background:#f6fafb}"
    ".foot{color:#777;margin-top:8px}");

// The header block: the pieces the client counts are noted where each marker occurs.
QString fareHeader(const Train& train, const fares::Cells& whole, bool sample) {
    const TrainStop& first = train.stops.first();
    const TrainStop& last = train.stops.last();
    const QString cs3 = QStringLiteral(" colspan=\"3\"");
    const QString cs4 = QStringLiteral(" colspan=\"4\"");
    QString h = QStringLiteral("<table class=\"head\">\n<tr><td rowspan=\"5\" class=\"vt\">") +
                contract::train::fareTitle.toString() + QStringLiteral("</td>");
    // #e2e2e2 1, #ffffff 1, #e2e2e2 2, #ffffff 2; center 1 on the fare block's title;
    // #e2e2e2 3.
    h += gray(QStringLiteral("车次"), QStringLiteral(" class=\"cap\"")) +
         white(QStringLiteral("<b>") + escapeHtml(train.number) + QStringLiteral("</b>")) +
         gray(QStringLiteral("全程运行"), QStringLiteral(" class=\"cap\"")) +
         white(durationText(last.arrival - first.departure)) +
         td(QStringLiteral(" rowspan=\"5\" class=\"vt\" align=\"center\""),
            QStringLiteral("票<br>价<br>信<br>息")) +
         gray(sample ? QStringLiteral("单位：元（样例票价）") : QStringLiteral("单位：元"), cs4) +
         QStringLiteral("</tr>\n<tr>");
    // center 2, center 3, #ffffff 3, center 4.
    h += caption(QStringLiteral("始发站")) + centered(escapeHtml(first.station)) +
         caption(QStringLiteral("终点站")) + centered(escapeHtml(last.station)) +
         caption(QStringLiteral("硬座")) + white(whole.hardSeat) + caption(QStringLiteral("软座")) +
         centered(whole.softSeat) + QStringLiteral("</tr>\n<tr>");
    // center 5, center 6, #ffffff 4.
    h += caption(QStringLiteral("发车时间")) + centered(clockText(first.departure)) +
         caption(QStringLiteral("到站时间")) + centered(clockText(last.arrival)) +
         caption(QStringLiteral("硬卧上/中/下")) + white(whole.hardSleeper, cs3) +
         QStringLiteral("</tr>\n<tr>");
    // center 7, center 8, #ffffff 5.
    h += caption(QStringLiteral("类型")) + centered(escapeHtml(train.trainClass)) +
         caption(QStringLiteral("全程")) + centered(kmText(last.km)) +
         caption(QStringLiteral("软卧上/下")) + white(whole.softSleeper, cs3) +
         QStringLiteral("</tr>\n<tr>");
    // #ffffff 6 (the remark; its line break is the page's own), 7, 8.
    h += white(sample ? QStringLiteral("样例票价，按里程计算，仅供演示。\r\n乘车请以车站公告为准。")
                      : QStringLiteral("票价以铁路官方网站为准。\r\n乘车请以车站公告为准。"),
               cs4) +
         caption(QStringLiteral("一等座")) + white(whole.firstClass) +
         caption(QStringLiteral("二等座")) + white(whole.secondClass) +
         QStringLiteral("</tr>\n</table>\n");
    return h;
}

const QStringList fareRowHeaders = {
    QStringLiteral("站序"),      QStringLiteral("车次"),     QStringLiteral("站名"),
    QStringLiteral("停留"),      QStringLiteral("到达时间"), QStringLiteral("开车时间"),
    QStringLiteral("运行时间"),  QStringLiteral("天数"),     QStringLiteral("里程"),
    QStringLiteral("硬座"),      QStringLiteral("软座"),     QStringLiteral("硬卧上/中/下"),
    QStringLiteral("软卧上/下"), QStringLiteral("一等座"),   QStringLiteral("二等座"),
};

// One stop: "align=center>" pieces 1 to 11 (piece 3, the stop's dwell, is not read), the
// train number at "height=18>", and "#ffffff>" pieces 1 to 3.
QString fareRow(const Train& train, qsizetype index, const fares::Cells& f) {
    const TrainStop& stop = train.stops[index];
    const StopText t = stopText(train, stop);
    QString row = QStringLiteral("<tr>") + centered(QString::number(index + 1)) +
                  td(QStringLiteral(" align=\"center\" height=\"18\""), escapeHtml(train.number)) +
                  centered(stationLink(stop.station));
    for (const QString& text : {t.dwell, t.arrival, t.departure, t.elapsed, t.day, t.km, f.hardSeat,
                                f.softSeat, f.hardSleeper})
        row += centered(text);
    row += white(f.softSleeper) + white(f.firstClass) + white(f.secondClass);
    return row + QStringLiteral("</tr>\n");
}

const QString fareCss =
    QStringLiteral("body{font:12px sans-serif;margin:8px;color:#222}table{border-collapse:collapse}"
                   "td{border:1px solid #b8c4cc;padding:2px 6px;text-align:center}"
                   "td.cap{background:#e2e2e2}td.vt{background:#cfdde6;font-weight:bold;width:18px}"
                   "table.stops{margin-top:8px}tr.h td{background:#dfe9ee;font-weight:bold}"
                   "div{color:#777;margin-top:8px}");

} // namespace

QByteArray trainStopsPage(const Train& train, QDate day) {
    QString body = QStringLiteral("<h3>%1 次 %2 %3%4</h3>\n<table>\n<tr>")
                       .arg(escapeHtml(train.number), escapeHtml(train.trainClass), route(train),
                            dayNote(day));
    for (const char16_t* h :
         {u"站序", u"站名", u"到达时间", u"开车时间", u"停留", u"天数", u"里程"})
        body += QStringLiteral("<th>") + QString::fromUtf16(h) + QStringLiteral("</th>");
    body += QStringLiteral("</tr>\n");
    for (qsizetype i = 0; i < train.stops.size(); ++i) {
        const StopText t = stopText(train, train.stops[i]);
        body += QStringLiteral("<tr>");
        for (const QString& text :
             {QString::number(i + 1), escapeHtml(train.stops[i].station), t.arrival, t.departure,
              t.dwell, t.day, kmText(train.stops[i].km)})
            body += QStringLiteral("<td>") + text + QStringLiteral("</td>");
        body += QStringLiteral("</tr>\n");
    }
    body += QStringLiteral("</table>\n<p class=\"foot\">天数：1 为始发当日。");
    if (isSampleTimetable())
        body += QStringLiteral("样例数据，时刻为虚构，仅供演示。");
    body += QStringLiteral("</p>\n");
    return document(train.number + QStringLiteral(" 次列车时刻"), stopsCss, body);
}

QByteArray trainFramePage(const Train& train, QDate day) {
    // The client takes the frame's address from between "<iframe src=" and " name=", after
    // the first "Img/Tab_Mid.gif" and before "Img/Tab_Bottom.gif".
    const QString body =
        QStringLiteral("<h3>%1 次列车（%2） %3%7</h3>\n<div><img src=\"%4\" alt=\"\">\n"
                       "<iframe src=\"%5%1\" name=\"detail\" width=\"100%\" "
                       "height=\"420\" frameborder=\"0\"></iframe>\n"
                       "<img src=\"%6\" alt=\"\"></div>\n")
            .arg(escapeHtml(train.number), escapeHtml(train.trainClass), route(train),
                 contract::train::detailsStart, contract::stopsPage, contract::train::detailsEnd,
                 dayNote(day));
    return document(train.number + QStringLiteral(" 次列车"), stopsCss, body);
}

QByteArray farePage(const Train& train) {
    QList<fares::Cells> cells;
    for (const TrainStop& stop : train.stops)
        cells << fares::cells(train, stop.km);
    return farePage(train, cells, fares::formulaText());
}

QByteArray farePage(const Train& train, const QList<fares::Cells>& cells, const QString& note,
                    bool sample) {
    const fares::Cells none{fares::none, fares::none, fares::none,
                            fares::none, fares::none, fares::none};
    // The client reads from the vertical title "详<br>细<br>情<br>况" to "<div align=center>";
    // of that, the split at "</tr>" gives five header rows, the stop list's heading, then one
    // piece per stop and a last piece that is not a row.
    QString body = fareHeader(train, cells.isEmpty() ? none : cells.last(), sample);
    body += QStringLiteral("<table class=\"stops\">\n<tr class=\"h\">");
    for (const QString& h : fareRowHeaders)
        body += QStringLiteral("<td>") + h + QStringLiteral("</td>");
    body += QStringLiteral("</tr>\n");
    for (qsizetype i = 0; i < train.stops.size(); ++i)
        body += fareRow(train, i, i < cells.size() ? cells[i] : none);
    body += QStringLiteral("</table>\n<div align=\"center\">") + escapeHtml(note) +
            QStringLiteral("</div>\n");
    return document(train.number + QStringLiteral(" 次列车票价"), fareCss, body);
}

QByteArray trainDetailAnswer(const Timetable& data, const QString& number, bool framed) {
    const Train* train = number.isEmpty() ? nullptr : data.findTrain(number);
    if (!train)
        return messagePage(QStringLiteral("列车详情"),
                           missingParametersPhrase + QStringLiteral("：没有车次 %1。").arg(number));
    return framed ? trainFramePage(*train) : trainStopsPage(*train);
}

QByteArray fareAnswer(const Timetable& data, const QString& number) {
    const Train* train = number.isEmpty() ? nullptr : data.findTrain(number);
    if (!train)
        return messagePage(QStringLiteral("票价查询"), noFarePhrase);
    return farePage(*train);
}

} // namespace pages
