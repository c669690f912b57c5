// The main window's text boxes as everyday use wants them: station names completed from the
// service's station list, recent queries offered again.
#include "form1.h"

#include "datecontrol.h"
#include "firstpaint.h"
#include "pagefetcher.h"
#include "program.h"
#include "stationsource.h"
#include "suggestionpopup.h"

#include <QLineEdit>

void Form1::buildBoxes() {
    for (QLineEdit* box : {Text3, Text1[0], Text1[1]}) {
        auto* popup = new SuggestionPopup(
            box, [this, box](const QString& text) { return suggest(box, text); });
        m_suggestions << popup;
    }
    // A recent station-to-station query fills both boxes.
    connect(m_suggestions[1], &SuggestionPopup::picked, this, [this](const QStringList& texts) {
        if (texts.size() == 2)
            Text1[1]->setText(texts[1]);
    });
    // The station list is no business of the first paint.
    afterFirstPaint(this, [this] { fetchStationList(); });
}

SuggestionPopup* Form1::suggestions(QLineEdit* box) const {
    const QLineEdit* boxes[] = {Text3, Text1[0], Text1[1]};
    for (int i = 0; i < 3; ++i)
        if (boxes[i] == box)
            return m_suggestions.value(i);
    return nullptr;
}

QList<Suggestion> Form1::suggest(QLineEdit* box, const QString& text) const {
    QList<Suggestion> out;
    if (!text.isEmpty()) {
        if (box != Text3) {
            for (const QString& name : m_stations.complete(text))
                out.append({m_stations.label(name), {name}});
        }
        return out;
    }
    // An empty box offers what was asked lately.
    const bool between = Text1[1]->isVisibleTo(Picture2);
    if (box == Text3) {
        for (const QStringList& e : m_history.entries(QueryKind::Train))
            out.append({e[0], e});
    } else if (box == Text1[0] && between) {
        for (const QStringList& e : m_history.entries(QueryKind::Between))
            out.append({e[0] + QStringLiteral(" → ") + e[1], e});
    } else if (box == Text1[0]) {
        for (const QStringList& e : m_history.entries(QueryKind::Station))
            out.append({e[0], e});
    } else {
        QStringList seen;
        for (const QStringList& e : m_history.entries(QueryKind::Between)) {
            if (!seen.contains(e[1])) {
                seen << e[1];
                out.append({e[1], {e[1]}});
            }
        }
    }
    return out;
}

void Form1::remember(QueryKind kind) {
    switch (kind) {
    case QueryKind::Train:
        m_history.add(kind, {Text3->text()});
        break;
    case QueryKind::Between:
        m_history.add(kind, {Text1[0]->text(), Text1[1]->text()});
        break;
    case QueryKind::Station:
        m_history.add(kind, {Text1[0]->text()});
        break;
    default:
        break;
    }
}

void Form1::useStationList(const QByteArray& bytes) {
    m_stations = StationIndex(parseStationList(bytes));
    m_serviceDays = parseServiceDays(bytes);
    if (m_date)
        m_date->setServiceDays(m_serviceDays, QDate::currentDate());
}

void Form1::fetchStationList() {
    // The copy of the last run serves at once; the service's answer replaces it when it comes.
    useStationList(readCachedStationList());
    if (m_download)
        return;
    m_download = new StationListDownload(PageFetcher::shared().networkAccessManager(), this);
    connect(m_download, &StationListDownload::finished, this,
            [this](const QByteArray& bytes, const QString& error) {
                m_download->deleteLater();
                // A missing or broken list only leaves completion as it was: no message.
                if (!error.isEmpty() || parseStationList(bytes).isEmpty())
                    return;
                useStationList(bytes);
                cacheStationList(bytes);
            });
    m_download->start(stationListUrl(Program::Services.timetable));
}
