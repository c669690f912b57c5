#include "form4.h"

#include "centre.h"
#include "picturebox.h"
#include "portal.h"
#include "program.h"
#include "twips.h"

#include <QEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QUrl>

#include <algorithm>

namespace {

// Front to back; index 4 stands for Label2, which opens nothing.
constexpr Placement kLabels[] = {
    {"Label1[3]", 240, 2520, 1980, 180}, {"Label1[2]", 240, 2160, 1980, 180},
    {"Label2", 240, 600, 1350, 180},     {"Label1[1]", 840, 240, 540, 180},
    {"Label1[0]", 240, 240, 540, 180},
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

    auto* background = new PictureBox(QStringLiteral(":/about.svg"), true, this);
    background->setGeometry(rect());

    const QString texts[] = {Program::kContactLine, portalText(), QStringLiteral("永久免费 网络版"),
                             QStringLiteral("版本："), QStringLiteral("版本：")};
    // Back to front, so the first entry of the table ends up on top.
    for (int i = int(std::size(kLabels)) - 1; i >= 0; --i) {
        auto* label = new QLabel(texts[i], this);
        label->setObjectName(QString::fromLatin1(kLabels[i].name));
        placeTwips(label, kLabels[i].left, kLabels[i].top, kLabels[i].width, kLabels[i].height);
        label->setAttribute(Qt::WA_TranslucentBackground);
        if (i != 2) {
            const int index = QString::fromLatin1(kLabels[i].name).mid(7, 1).toInt();
            Label1[index] = label;
            label->installEventFilter(this);
        }
    }
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
