#include "updater/form2.h"

#include "centre.h"
#include "release/manifest.h"
#include "twips.h"

#include <QCloseEvent>
#include <QFrame>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSvgWidget>

// The side picture is in this static library's resources, which a program linking it must
// initialise itself (at global scope, as the macro requires).
static void initUpdaterResources() {
    Q_INIT_RESOURCE(updater);
}

namespace {

// Front to back, in twips.
constexpr Placement kControls[] = {
    {"Picture1", 0, 0, 2055, 3880},      {"Label1", 2040, 240, 4335, 255},
    {"List1", 2040, 600, 4335, 3300},    {"Line1", 0, 3960, 6480, 15},
    {"Command1", 3600, 4200, 1335, 375}, {"Command2", 5040, 4200, 1335, 375},
};

} // namespace

Form2::Form2(const QString& commandText, QWidget* parent)
    : QWidget(parent) {
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("Quillon - 软件升级"));
    setFixedSize(px(6510), px(4740));
    centreOnScreen(this);
    initUpdaterResources();

    auto* picture = new QSvgWidget(QStringLiteral(":/updater/side.svg"), this);
    Label1 = new QLabel(QStringLiteral("本次软件升级："), this);
    List1 = new QListWidget(this);
    auto* line = new QFrame(this);
    line->setFrameShape(QFrame::HLine);
    line->setStyleSheet(QStringLiteral("color: palette(mid);"));
    Command1 = new QPushButton(QStringLiteral("升级"), this);
    Command2 = new QPushButton(QStringLiteral("关闭"), this);
    const QList<QWidget*> widgets = {picture, Label1, List1, line, Command1, Command2};
    for (qsizetype i = 0; i < widgets.size(); ++i)
        place(widgets[i], kControls[i]);

    connect(Command1, &QPushButton::clicked, this, &Form2::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &Form2::Command2_Click);
    Form_Load(commandText);
}

void Form2::Form_Load(const QString& commandText) {
    List1->clear();
    const manifest::UpdaterCommand command = manifest::parseUpdaterArgument(commandText);
    Label1->setText(QStringLiteral("本次软件升级版本号：") + command.version);
    for (const QString& name : command.files) {
        if (!name.isEmpty()) // a trailing "," names no file
            List1->addItem(name);
    }
}

void Form2::Command1_Click() {
    m_upgrading = true;
    emit upgradeChosen();
    close();
}

void Form2::Command2_Click() {
    emit closeChosen();
}

void Form2::closeEvent(QCloseEvent* event) {
    // The close box ends the program like "关闭"; closing after "升级" hands over to Form6.
    if (!m_upgrading)
        emit closeChosen();
    event->accept();
}
