#include "form3.h"

#include "controls.h"
#include "form1.h"
#include "picturebox.h"
#include "skinbutton.h"
#include "twips.h"

#include <QLabel>
#include <QListWidget>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTimer>

#include <algorithm>

namespace {

QFont songFont(qreal points) {
    QFont font;
    font.setFamilies({QStringLiteral("宋体"), QStringLiteral("AR PL UMing CN")});
    font.setPointSizeF(points);
    return font;
}

// Front to back.
constexpr UiLine kControls[] = {
    {"RightCommand1", Ui::RightButton, 7320, 5160, 1200, 600, " 取消"},
    {"LeftCommand1", Ui::LeftButton, 6000, 5160, 1200, 600, " 确定"},
    {"Label1[0]", Ui::Label, 120, 5160, 5415, 495,
     "中转换乘牵涉的因素众多，不能简单的通过计算解决。所以请你选择换乘的时候，考虑各种因素后，"
     "做出综合判断。"},
    {"ListView1", Ui::IconList, 120, 600, 8535, 4455},
    {"Label1[1]", Ui::Label, 1560, 200, 5040, 240, "点击城市名，会在主窗口中显示相应的列车信息"},
};

} // namespace

Form3::Form3(const QList<TransferEntry>& entries, const QString& caption, Form1* owner)
    : QDialog(owner)
    , m_owner(owner) {
    setObjectName(QStringLiteral("Form3"));
    setWindowTitle(caption);
    setWindowIcon(QIcon(QStringLiteral(":/icon.svg")));
    setFixedSize(px(8700), px(5775));
    initUiResources();

    const WindowControls controls = buildWindow(this, kControls);
    controls["Label1[1]"]->setFont(songFont(12));

    ListView1 = controls.as<QListWidget>("ListView1");
    ListView1->setViewMode(QListView::IconMode);
    ListView1->setFlow(QListView::LeftToRight);
    ListView1->setWrapping(true);
    ListView1->setResizeMode(QListView::Adjust);
    ListView1->setMovement(QListView::Static);
    ListView1->setIconSize(QSize(32, 32));
    ListView1->setGridSize(QSize(88, 64));
    const QIcon cityIcon(QStringLiteral(":/transfer_city.svg")); // picture 1 of ImageList1
    for (const TransferEntry& entry : entries) {
        auto* item = new QListWidgetItem(cityIcon, entry.city, ListView1);
        item->setData(kLegPathRole, entry.path);
    }
    // A click anywhere in the list is the list's click, beside the cities too.
    ListView1->viewport()->installEventFilter(this);
    // Enter or Space takes the city chosen with the arrow keys.
    ListView1->installEventFilter(this);

    auto* note = controls.as<QLabel>("Label1[0]");
    note->setFont(songFont(10.5));
    note->setWordWrap(true);
    fitNote(note);

    connect(controls.as<SkinButton>("LeftCommand1"), &SkinButton::Click, this,
            &Form3::LeftCommand1_Click);
    connect(controls.as<SkinButton>("RightCommand1"), &SkinButton::Click, this,
            &Form3::RightCommand1_Click);
}

void Form3::fitNote(QLabel* note) const {
    // Fonts differ between systems: the note may use the room up to the buttons, and its type
    // shrinks until every line fits above the window's bottom edge.
    constexpr int kButtonsLeft = 6000, kGap = 90;
    note->resize(px(kButtonsLeft - kGap) - note->x(), note->height());
    const int room = height() - note->y() - 1;
    QFont font = note->font();
    while (note->heightForWidth(note->width()) > room && font.pointSizeF() > 8) {
        font.setPointSizeF(font.pointSizeF() - 0.5);
        note->setFont(font);
    }
    note->resize(note->width(), std::clamp(note->heightForWidth(note->width()), 0, room));
}

bool Form3::eventFilter(QObject* watched, QEvent* event) {
    if (watched == ListView1 && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter ||
            key->key() == Qt::Key_Space) {
            if (ListView1->currentItem())
                ListView1->currentItem()->setSelected(true);
            ListView1_Click();
            return true;
        }
    }
    if (watched == ListView1->viewport() && (event->type() == QEvent::MouseButtonPress ||
                                             event->type() == QEvent::MouseButtonRelease)) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() != Qt::LeftButton)
            return QDialog::eventFilter(watched, event);
        // A press beside the cities keeps the selected one: that is the city the click queries.
        if (event->type() == QEvent::MouseButtonPress)
            return !ListView1->indexAt(mouse->position().toPoint()).isValid();
        // After the list has handled the release; the query runs its own page load.
        QTimer::singleShot(0, this, &Form3::ListView1_Click);
    }
    return QDialog::eventFilter(watched, event);
}

void Form3::ListView1_Click() {
    QListWidgetItem* item = ListView1->currentItem();
    if (ListView1->count() == 0 || !item || !item->isSelected())
        return;
    m_owner->SearchZhongZhuan(item->data(kLegPathRole).toString());
}

void Form3::LeftCommand1_Click() {
    ListView1_Click();
    close();
}

void Form3::RightCommand1_Click() {
    close();
}
