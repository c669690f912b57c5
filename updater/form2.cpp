#include "updater/form2.h"

#include "centre.h"
#include "release/manifest.h"
#include "updater/controltable.h"

#include <QCloseEvent>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>

// The side picture is in this static library's resources, which a program linking it must
// initialise itself (at global scope, as the macro requires).
static void initUpdaterResources() {
    Q_INIT_RESOURCE(updater);
}

namespace {

// Front to back, in twips.
constexpr Control kControls[] = {
    {"Command2", UpdaterUi::Button, 5040, 4200, 1335, 375, "关闭"},
    {"Command1", UpdaterUi::Button, 3600, 4200, 1335, 375, "升级"},
    {"Line1", UpdaterUi::Line, 0, 3960, 6480, 15},
    {"List1", UpdaterUi::List, 2040, 600, 4335, 3300},
    {"Label1", UpdaterUi::Label, 2040, 240, 4335, 255, "本次软件升级："},
    {"Picture1", UpdaterUi::Picture, 0, 0, 2055, 3880, ":/updater/side.svg"},
};

} // namespace

Form2::Form2(const QString& commandText, QWidget* parent)
    : QWidget(parent) {
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("Quillon - 软件升级"));
    setFixedSize(px(6510), px(4740));
    centreOnScreen(this);
    initUpdaterResources();

    createControls(this, kControls);
    Label1 = findChild<QLabel*>(QStringLiteral("Label1"));
    List1 = findChild<QListWidget*>(QStringLiteral("List1"));
    Command1 = findChild<QPushButton*>(QStringLiteral("Command1"));
    Command2 = findChild<QPushButton*>(QStringLiteral("Command2"));

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
