#include "form4.h"

#include "centre.h"
#include "controls.h"
#include "portal.h"
#include "program.h"
#include "twips.h"

#include <QEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QUrl>

#include <algorithm>

namespace {

// Front to back, over the background picture; the texts that depend on the install are set
// when the window loads.
constexpr UiLine kControls[] = {
    {"Label1[3]", Ui::Label, 240, 2520, 1980, 180},
    {"Label1[2]", Ui::Label, 240, 2160, 1980, 180},
    {"Label2", Ui::Label, 240, 600, 1350, 180, "永久免费 网络版"},
    {"Label1[1]", Ui::Label, 840, 240, 540, 180, "版本："},
    {"Label1[0]", Ui::Label, 240, 240, 540, 180, "版本："},
    {"Image1", Ui::Stretched, 0, 0, 4635, 3045, ":/about.svg"},
};

// Shown only where the package manager updates the program.
constexpr UiLine kSelfUpdateOff[] = {
    {"SelfUpdateOff", Ui::Label, 240, 960, 2400, 900,
     "系统安装,自动升级已关闭,请用软件包管理器升级。"},
};

QString portalText() {
    const QUrl portal(Program::Services.portal);
    return portal.port() > 0 ? portal.host() + u':' + QString::number(portal.port())
                             : portal.host();
}

} // namespace

Form4::Form4(QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("Form4"));
    setWindowTitle(QStringLiteral("关于Quillon"));
    setWindowIcon(QIcon(QStringLiteral(":/icon.svg")));
    setFixedSize(px(4635), px(3045));
    setModal(true);

    const WindowControls controls = buildWindow(this, kControls);
    for (int i = 0; i < 4; ++i) {
        Label1[i] = controls.as<QLabel>(QStringLiteral("Label1[%1]").arg(i));
        Label1[i]->installEventFilter(this);
    }
    Label1[3]->setText(Program::kContactLine);
    Label1[2]->setText(portalText());
    Label1[2]->setCursor(Qt::PointingHandCursor);
    Form_Load();
    centreOnScreen(this, parent ? parent->screen() : nullptr);
}

void Form4::Form_Load() {
    Label1[1]->setText(Program::CurVersion);
    // Fonts differ between systems: a line grows to its text, within the window, rather than
    // lose its end (the contact address above all).
    for (QLabel* label : findChildren<QLabel*>(Qt::FindDirectChildrenOnly)) {
        const QSize text = label->sizeHint();
        label->resize(std::min(std::max(label->width(), text.width()), width() - label->x()),
                      std::max(label->height(), text.height()));
    }
    if (!Program::SelfUpdate) {
        // A system-wide install is the package manager's to update; say so where the version is.
        buildWindow(this, kSelfUpdateOff).as<QLabel>("SelfUpdateOff")->setWordWrap(true);
    }
}

void Form4::Label1_Click(int) {
    OpenPortal();
}

bool Form4::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        for (int i = 0; i < 4; ++i) {
            if (watched == Label1[i]) {
                Label1_Click(i);
                return true;
            }
        }
    }
    return QDialog::eventFilter(watched, event);
}
