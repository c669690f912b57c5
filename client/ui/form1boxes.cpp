// The main window's text boxes as everyday use wants them: station names completed from the
// service's station list, recent queries offered again.
#include "form1.h"

#include "bannerbrowser.h"
#include "datecontrol.h"
#include "firstpaint.h"
#include "localservice.h"
#include "pagefetcher.h"
#include "program.h"
#include "resultlists.h"
#include "stationsource.h"
#include "sourcewindow.h"
#include "suggestionpopup.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QTimer>

void Form1::buildBoxes() {
    for (QLineEdit* box : {Text3, Text1[0], Text1[1]}) {
        auto* popup = new SuggestionPopup(
            box, [this, box](const QString& text) { return suggest(box, text); });
        m_suggestions << popup;
    }
    // Leaving a station box settles its text on a station, as its query does.
    for (QLineEdit* box : Text1)
        connect(box, &QLineEdit::editingFinished, this, &Form1::settleStationBoxes);
    // A recent station-to-station query fills both boxes.
    connect(m_suggestions[1], &SuggestionPopup::picked, this, [this](const QStringList& texts) {
        if (texts.size() == 2)
            Text1[1]->setText(texts[1]);
    });
    // The bundled service's source, chosen without editing files.
    m_source = menu->addAction(QStringLiteral("时刻数据来源…"));
    m_source->setObjectName(QStringLiteral("ChooseSource"));
    connect(m_source, &QAction::triggered, this, &Form1::chooseSource);
    askSource = [this](const SourceChoice& current) -> std::optional<SourceChoice> {
        SourceWindow window(current, this);
        if (window.exec() != QDialog::Accepted)
            return std::nullopt;
        return window.choice();
    };
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
    const bool between = m_lists->onView() == TrainList::ListView2;
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

void Form1::settleStationBoxes() {
    for (QLineEdit* box : Text1) {
        const QString settled = settledStationText(m_stations, box->text());
        if (settled != box->text())
            box->setText(settled);
        // A box left behind shows the start of a long name, not its end.
        if (!box->hasFocus())
            box->setCursorPosition(0);
    }
}

void Form1::useStationList(const QByteArray& bytes) {
    m_stations = StationIndex(parseStationList(bytes));
    m_serviceDays = parseServiceDays(bytes);
    // The credit panel names the service's source once its list says which it is.
    if (const QString source = parseServiceSource(bytes); !source.isEmpty())
        setCredit(Program::creditLine(sourceCredit(source)));
    if (m_date)
        m_date->setServiceDays(m_serviceDays, QDate::currentDate());
}

void Form1::fetchStationList() {
    // The copy of the last run serves at once; the service's answer replaces it when it comes.
    if (m_stations.isEmpty())
        useStationList(readCachedStationList());
    if (m_download)
        return;
    m_stationListFailed = false;
    m_download = new StationListDownload(PageFetcher::shared().networkAccessManager(), this);
    connect(m_download, &StationListDownload::finished, this,
            [this](const QByteArray& bytes, const QString& error) {
                m_download->deleteLater();
                // A missing or broken list only leaves completion as it was: no message. It
                // is asked for again once the service answers.
                if (!error.isEmpty() || parseStationList(bytes).isEmpty()) {
                    m_stationListFailed = true;
                    return;
                }
                useStationList(bytes);
                cacheStationList(bytes);
            });
    m_download->start(stationListUrl(Program::Services.timetable));
}

void Form1::useBundledService(BundledService* service) {
    m_bundled = service;
    connect(service, &BundledService::stateChanged, this, &Form1::showServiceState);
    connect(service, &BundledService::ready, this, [this] {
        fetchStationList();
        WebBrowser1->UserControl_Show(); // the banner page came from a dead address
    });
    showServiceState();
}

void Form1::showServiceState() {
    const QString state = m_bundled ? m_bundled->statusText() : QString();
    const QString text = state.isEmpty() ? usageHint() : state;
    m_panels[2]->setText(text);
    m_panels[2]->setToolTip(text);
    // A service that came up is worth a moment's word; the usage hint then returns.
    if (m_bundled && m_bundled->state() == BundledService::State::Running) {
        QTimer::singleShot(5000, m_panels[2], [this, text] {
            if (m_panels[2]->text() == text) {
                m_panels[2]->setText(usageHint());
                m_panels[2]->setToolTip(usageHint());
            }
        });
    }
}

void Form1::chooseSource() {
    const SourceChoice current = m_bundled ? m_bundled->choice() : Program::Source;
    const std::optional<SourceChoice> picked = askSource(current);
    if (!picked || *picked == current)
        return;
    Program::Source = *picked;
    saveUserSourceChoice(*picked, userSettingsFile());
    if (m_bundled)
        m_bundled->restart(*picked);
}
