// Draws the client's windows for the README: quillon-screenshot OUT.png BASE [main|detail|
// transfer|fare|completion|filter|keyboard] [STATIONS]. Needs a display (Xvfb will do) and a
// running bundled service at BASE; completion uses the service's station list, or the file
// STATIONS.
#include "filterrow.h"
#include "form1.h"
#include "form2.h"
#include "pagefetcher.h"
#include "stationindex.h"
#include "stationsource.h"
#include "suggestionpopup.h"
#include "program.h"
#include "skinbutton.h"

#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QKeyEvent>
#include <QTimeEdit>
#include <QLineEdit>
#include <QListWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>

namespace {

void saveAndQuit(QWidget* window, const QString& path) {
    QCoreApplication::exit(window->grab().save(path) ? 0 : 1);
}

// Takes the picture of the next modal window once it has painted, then closes it.
void grabModal(const QString& path, const std::function<void(QWidget*)>& prepare = {}) {
    auto* poll = new QTimer(qApp);
    poll->setInterval(50);
    QObject::connect(poll, &QTimer::timeout, [poll, path, prepare] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal)
            return;
        poll->stop();
        if (prepare)
            prepare(modal);
        QTimer::singleShot(800, modal, [modal, path] {
            const bool saved = modal->grab().save(path);
            modal->close();
            QCoreApplication::exit(saved ? 0 : 1);
        });
    });
    poll->start();
}

QByteArray stationList(const QString& base, const QString& file) {
    QString error;
    const QByteArray served = PageFetcher::shared().fetchBytes(stationListUrl(base), &error);
    if (error.isEmpty() && !parseStationList(served).isEmpty())
        return served;
    QFile in(file);
    return in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray();
}

// Suggestions for "bj" under the departure box, or the trains of 西安 narrowed to the
// evening's C, D, Z and T trains.
void everyday(Form1& form, const QString& window, const QString& out, const QString& base,
              const QString& stations) {
    form.useStationList(stationList(base, stations));
    form.LZCommand1_Click(window == u"completion" ? 1 : 2);
    auto* from = form.findChild<QLineEdit*>(QStringLiteral("Text1[0]"));
    if (window == u"completion") {
        from->setFocus();
        from->setText(QStringLiteral("bj"));
        form.suggestions(from)->refresh();
    } else {
        from->setText(QStringLiteral("西安"));
        form.SZCommand2_Click();
        FilterRow* row = form.filterRow();
        for (const TrainClass c : {TrainClass::G, TrainClass::K, TrainClass::Other})
            row->classBox(c)->setChecked(false);
        row->fromEdit()->setTime(QTime(18, 0));
    }
    QTimer::singleShot(2500, &form, [&form, out] { saveAndQuit(&form, out); });
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 3) {
        qCritical("usage: quillon-screenshot OUT.png BASE [main|detail|transfer|fare]");
        return 2;
    }
    const QString out = args[1], base = args[2], window = args.value(3, QStringLiteral("main"));
    Program::Services.timetable = base;
    Program::Services.fare = base + QStringLiteral("fare/");
    Program::Services.banner = base + QStringLiteral("banner.html");

    QTemporaryDir folder;
    Form1 form(folder.path());
    form.show();
    QTimer::singleShot(300, &form, [&] {
        if (window == u"completion" || window == u"filter") {
            everyday(form, window, out, base, args.value(4));
            return;
        }
        if (window == u"keyboard") {
            // The keyboard on the side tabs, as Tab from the first one leaves it.
            QApplication::setActiveWindow(&form);
            auto* first = form.findChild<SkinButton*>(QStringLiteral("LZCommand1[0]"));
            first->setFocus(Qt::TabFocusReason);
            QKeyEvent tab(QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier);
            QCoreApplication::sendEvent(first, &tab);
            QTimer::singleShot(2500, &form, [&] { saveAndQuit(&form, out); });
            return;
        }
        if (window == u"transfer") {
            grabModal(out, [&](QWidget* modal) {
                auto* list = modal->findChild<QListWidget*>(QStringLiteral("ListView1"));
                list->setCurrentRow(0);
            });
            form.LZCommand1_Click(1);
            form.findChild<QLineEdit*>(QStringLiteral("Text1[0]"))->setText(QStringLiteral("拉萨"));
            form.findChild<QLineEdit*>(QStringLiteral("Text1[1]"))->setText(QStringLiteral("上海"));
            form.SZCommand2_Click();
            return;
        }
        form.findChild<QLineEdit*>(QStringLiteral("Text3"))
            ->setText(window == u"main" ? QStringLiteral("G") : QStringLiteral("K7"));
        form.SZCommand1_Click();
        QTreeWidget* list = form.listView(TrainList::ListView1);
        list->setCurrentItem(list->topLevelItem(0));
        if (window == u"fare") {
            grabModal(out);
            form.SearchPJ_Click();
        } else if (window == u"detail") {
            form.ListView1_DblClick();
            QTimer::singleShot(2500, &form, [&] { saveAndQuit(form.detailWindow(), out); });
        } else {
            // Give the banner a moment to load before the picture is taken.
            QTimer::singleShot(2500, &form, [&] { saveAndQuit(&form, out); });
        }
    });
    return app.exec();
}
