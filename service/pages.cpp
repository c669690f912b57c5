#include "pages.h"

#include <QStringDecoder>
#include <QStringEncoder>

#include <atomic>

namespace pages {

namespace {

const QString pageTitle = QStringLiteral("列车时刻查询");
std::atomic<bool> sampleTimetable{true};

QString footer() {
    return sampleTimetable
               ? QStringLiteral(
                     "<p class=\"foot\">Quillon 列车时刻表服务（样例数据，时刻为虚构）</p>\n")
               : QStringLiteral("<p class=\"foot\">Quillon 列车时刻表服务</p>\n");
}

const QString listCss =
    QStringLiteral("body{font:12px sans-serif}table.list{border-collapse:collapse}"
                   "table.list td{border:1px solid #9bb;padding:2px 4px}"
                   "tr.head{background:#dee}.blue1{color:#03c}.foot{color:#777}");

QByteArray page(const QString& heading, const QString& body) {
    return document(pageTitle, listCss,
                    QStringLiteral("<h3>") + escapeHtml(heading) + QStringLiteral("</h3>\n") +
                        body + footer());
}

int clockMinutes(const QString& hhmm) {
    const qsizetype colon = hhmm.indexOf(QLatin1Char(':'));
    return hhmm.left(colon).toInt() * 60 + hhmm.mid(colon + 1).toInt();
}

// The day of arrival, counted from the day of departure, as a timetable would print it.
QString arrivalDay(const TrainListRow& row) {
    const int days = (clockMinutes(row.fromTime) + clockMinutes(row.duration)) / (24 * 60);
    if (days == 0)
        return QStringLiteral("当日");
    if (days == 1)
        return QStringLiteral("次日");
    return QStringLiteral("第%1日").arg(days + 1);
}

QString centered(const QString& text) {
    return QStringLiteral("<td align=\"center\">") + text + QStringLiteral("</td>");
}

// The "align=center>" cells, in the order the client counts them (1 to 9).
QString centeredCells(const QStringList& texts) {
    QString cells;
    for (const QString& t : texts)
        cells += centered(t);
    return cells;
}

QString rowHtml(const TrainListRow& r) {
    const QString strongFrom =
        QStringLiteral("<strong>") + r.fromTime + QStringLiteral("</strong>");
    const QString strongTo = QStringLiteral("<strong>") + r.toTime + QStringLiteral("</strong>");
    QString html = QStringLiteral("<tr><td width=\"75\" align=\"center\" class=\"bt\"><a href=\"");
    html += escapeHtml(r.link);
    html += QStringLiteral("\" target=\"_blank\"><span class=\"blue1\"><b>");
    html += escapeHtml(r.train);
    html +=
        QStringLiteral("</b></span></a></td><td><img src=\"img/qi.gif\" align=\"absbottom\" />");
    html += escapeHtml(r.origin);
    html += QStringLiteral("</td><td><img src=\"img/zhong.gif\" align=\"absmiddle\" />");
    html += escapeHtml(r.terminus);
    html += QStringLiteral("</td><td class=\"bt\">");
    html += escapeHtml(r.trainClass);
    html += QStringLiteral("</td>");
    html += centeredCells({
        escapeHtml(r.fromStation),
        strongFrom,
        r.fromStation == r.origin ? QStringLiteral("始发") : QStringLiteral("途经"),
        r.duration,
        arrivalDay(r),
        escapeHtml(r.toStation),
        strongTo,
        r.toStation == r.terminus ? QStringLiteral("终到") : QStringLiteral("途经"),
        r.distance,
    });
    html += QStringLiteral("</tr>\n");
    return html;
}

const QStringList centeredHeaders = {
    QStringLiteral("发站"), QStringLiteral("发时"),      QStringLiteral("始发/途经"),
    QStringLiteral("历时"), QStringLiteral("到达"),      QStringLiteral("到站"),
    QStringLiteral("到时"), QStringLiteral("终到/途经"), QStringLiteral("里程"),
};

QString headerRow(ListKind kind) {
    if (kind == ListKind::TrainNumber) {
        QString html =
            QStringLiteral("<tr class=\"head\"><td>车次</td><td>始发站</td><td>终点站</td>"
                           "<td>列车类型</td>");
        for (const QString& h : centeredHeaders)
            html += QStringLiteral("<td>") + h + QStringLiteral("</td>");
        return html + QStringLiteral("</tr>\n");
    }
    // Starts like a train row so the client's row cut sees it, and names 始发站 as its origin,
    // which is how the client recognises and drops it.
    return QStringLiteral(
               "<tr class=\"head\"><td width=\"75\" align=\"center\" class=\"bt\">车次</td>"
               "<td><img src=\"img/qi.gif\" align=\"absbottom\" />始发站</td>"
               "<td><img src=\"img/zhong.gif\" align=\"absmiddle\" />终点站</td>"
               "<td class=\"bt\">列车类型</td>") +
           centeredCells(centeredHeaders) + QStringLiteral("</tr>\n");
}

} // namespace

void setSampleTimetable(bool sample) {
    sampleTimetable = sample;
}

bool isSampleTimetable() {
    return sampleTimetable;
}

QString escapeHtml(const QString& text) {
    return text.toHtmlEscaped().replace(QLatin1Char('\''), QStringLiteral("&#39;"));
}

QByteArray toGb(const QString& text) {
    QStringEncoder encoder(contract::encoding);
    return encoder.encode(text);
}

QString fromGb(const QByteArray& bytes) {
    QStringDecoder decoder(contract::encoding);
    return decoder.decode(bytes);
}

QByteArray document(const QString& title, const QString& css, const QString& body) {
    return toGb(QStringLiteral("<!DOCTYPE html>\n<html><head>"
                               "<meta http-equiv=\"Content-Type\" "
                               "content=\"text/html; charset=gb2312\"><title>") +
                escapeHtml(title) + QStringLiteral("</title>\n<style>") + css +
                QStringLiteral("</style></head>\n<body>\n") + body +
                QStringLiteral("</body></html>\n"));
}

QByteArray trainListPage(ListKind kind, const QString& heading, const QList<TrainListRow>& rows) {
    QString body;
    body.reserve(300 * (rows.size() + 1));
    body += QStringLiteral("<table class=\"list\">\n");
    body += headerRow(kind);
    for (const TrainListRow& r : rows)
        body += rowHtml(r);
    body += QStringLiteral("</table>\n<p>共 %1 趟列车。</p>\n").arg(rows.size());
    return page(heading, body);
}

QByteArray messagePage(const QString& heading, const QString& message, const QString& reason) {
    QString body =
        QStringLiteral("<p class=\"msg\">") + escapeHtml(message) + QStringLiteral("</p>\n");
    if (!reason.isEmpty())
        body +=
            QStringLiteral("<p class=\"reason\">") + escapeHtml(reason) + QStringLiteral("</p>\n");
    return page(heading, body);
}

QByteArray transferPage(const QString& from, const QString& to, const QStringList& cities) {
    // After the phrase the client takes every "<a" as a city, so nothing else may link there.
    QString body = QStringLiteral("<p>%1 到 %2 没有直达列车，可经以下城市换乘。%3：</p>\n<p>")
                       .arg(escapeHtml(from), escapeHtml(to), transferPhrase);
    for (const QString& city : cities) {
        body += QStringLiteral("<a href='%3%1&dz=%2'>%1</a>\n")
                    .arg(escapeHtml(city), escapeHtml(to), contract::transferLink);
    }
    body += QStringLiteral("</p>\n");
    return page(QStringLiteral("中转查询"), body);
}

QByteArray notFoundPage() {
    return page(QStringLiteral("404"), QStringLiteral("<p>找不到所请求的网页。</p>\n"));
}

QByteArray bannerPage() {
    return document(
        QString(),
        QStringLiteral(
            "html,body{margin:0;height:100%;overflow:hidden}"
            "body{font:12px sans-serif;color:#fff;"
            "background:linear-gradient(160deg,#0b4f6c 0%,#127a7a 60%,#2fa36b 100%)}"
            ".box{padding:8px 10px}.big{font-size:16px;font-weight:bold;margin-bottom:4px}"
            ".tip{color:#d6f5e3;line-height:1.45}"),
        QStringLiteral("<div class=\"box\"><div class=\"big\">一键查时刻</div>"
                       "<div class=\"tip\">车次 · 站站 · 车站<br>双击停靠站 · 右键票价</div>"
                       "</div>"));
}

QByteArray portalPage() {
    return page(QStringLiteral("Quillon 铁路时刻"),
                QStringLiteral("<p>欢迎使用 Quillon 列车时刻查询系统。</p>\n") +
                    (sampleTimetable
                         ? QStringLiteral("<p>本地服务提供样例时刻表，供演示与测试使用。</p>\n")
                         : QStringLiteral("<p>本地服务提供所载入的时刻表。</p>\n")));
}

} // namespace pages
