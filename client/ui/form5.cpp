#include "form5.h"

#include "centre.h"
#include "controls.h"
#include "release/manifest.h"
#include "twips.h"

#include <QCoreApplication>
#include <QDir>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>

#include <algorithm>

namespace {

// Front to back: Label1's line lies over Text1's top edge. Command1 comes first in the tab
// order.
constexpr UiLine kControls[] = {
    {"Label1", Ui::Label, 120, 120, 3975, 375},
    {"Text1", Ui::PlainText, 120, 360, 4335, 2055},
    {"Command1", Ui::PushButton, 1680, 2520, 1215, 495, "立即升级"},
};

Form5::Launcher& launcher() {
    static Form5::Launcher instance;
    return instance;
}

} // namespace

Form5::Form5(QWidget* owner, std::function<void()> unload)
    : QDialog(owner)
    , m_unload(std::move(unload)) {
    setObjectName(QStringLiteral("Form5"));
    setWindowTitle(QStringLiteral("发现新版本提示您升级"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    setWindowIcon(QIcon());
    setFixedSize(px(4560), px(3120));
    setModal(true);

    const WindowControls controls = buildWindow(this, kControls);
    Label1 = controls.as<QLabel>("Label1");
    Label1->setStyleSheet(QStringLiteral("color: #00C000; background: transparent;"));
    Text1 = controls.as<QPlainTextEdit>("Text1");
    Text1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Command1 = controls.as<QPushButton>("Command1");
    setTabOrder(Command1, Text1);
    // The prompt comes by itself while the user types in the main window: without a default
    // button a stray Enter does not start the update (Space on the button still does).
    Command1->setAutoDefault(false);
    Command1->setDefault(false);
    Command1->setFocus();
    connect(Command1, &QPushButton::clicked, this, &Form5::Command1_Click);

    Label1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    centreOnScreen(this, owner ? owner->screen() : nullptr);
}

void Form5::setOffer(const QString& newVersion, const QString& updateFiles, const QString& notes) {
    m_newVersion = newVersion;
    m_updateFiles = updateFiles;
    Label1->setText(QStringLiteral("发现新版本") + newVersion +
                    QStringLiteral(",点击【立即升级】更新！"));
    Text1->setPlainText(notes);
    // A long version must not cut the line: it may use the window's whole width.
    Label1->resize(std::max(px(kControls[0].width), Label1->sizeHint().width()), Label1->height());
    Label1->resize(std::min(Label1->width(), width() - Label1->x()), Label1->height());
}

QString Form5::updaterProgram() {
    return QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("quillon-update"));
}

QString Form5::updaterArgument() const {
    return manifest::updaterArgument(m_newVersion, m_updateFiles);
}

void Form5::setLauncher(Launcher l) {
    launcher() = std::move(l);
}

void Form5::Command1_Click() {
    // One argument, no shell: nothing in the version or the names is interpreted. A missing
    // updater is not an error here; the client ends either way.
    const QStringList arguments{updaterArgument()};
    if (launcher())
        launcher()(updaterProgram(), arguments);
    else
        QProcess::startDetached(updaterProgram(), arguments);
    accept();
    if (m_unload)
        m_unload();
}
