#include "sourcewindow.h"

#include "controls.h"
#include "messages.h"
#include "twips.h"

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStandardPaths>

namespace {

// Front to back, so the tab order runs from the last line up.
constexpr UiLine kControls[] = {
    {"Note", Ui::Label, 165, 1815, 6090, 225, "本地时刻服务由本程序启动，更改后立即重新启动。"},
    {"Buttons", Ui::OkCancel, 165, 2130, 6090, 360},
    {"Browse", Ui::PushButton, 5055, 975, 1200, 345, "浏览…"},
    {"FeedPath", Ui::LineEdit, 165, 975, 4800, 330},
    {"LiveSource", Ui::RadioButton, 165, 1410, 6090, 315, "官方网站实时数据（需联网）"},
    {"FeedSource", Ui::RadioButton, 165, 570, 6090, 315, "GTFS 数据包（文件夹或 .zip）："},
    {"SampleSource", Ui::RadioButton, 165, 165, 6090, 315, "内置样例时刻表（时刻虚构，供试用）"},
};

} // namespace

SourceWindow::SourceWindow(const SourceChoice& current, QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("SourceWindow"));
    setWindowTitle(QStringLiteral("时刻数据来源"));
    setWindowIcon(QIcon(QStringLiteral(":/icon.svg")));

    setFixedSize(px(6420), px(2655));

    const WindowControls controls = buildWindow(this, kControls);
    m_sample = controls.as<QRadioButton>("SampleSource");
    m_feed = controls.as<QRadioButton>("FeedSource");
    m_live = controls.as<QRadioButton>("LiveSource");
    m_path = controls.as<QLineEdit>("FeedPath");
    m_path->setText(current.feed);
    auto* browse = controls.as<QPushButton>("Browse");
    browse->setAutoDefault(false);
    auto* buttons = controls.as<QDialogButtonBox>("Buttons");
    controls.as<QLabel>("Note")->setWordWrap(true);

    (current.source == TimetableSource::Feed   ? m_feed
     : current.source == TimetableSource::Live ? m_live
                                               : m_sample)
        ->setChecked(true);
    // Typing or browsing a path means the feed.
    connect(m_path, &QLineEdit::textEdited, m_feed, [this] { m_feed->setChecked(true); });
    connect(browse, &QPushButton::clicked, this, [this] {
        const QString start = m_path->text().isEmpty()
                                  ? QStandardPaths::writableLocation(QStandardPaths::HomeLocation)
                                  : QFileInfo(m_path->text()).absolutePath();
        const QString file = QFileDialog::getOpenFileName(this, QStringLiteral("选择GTFS数据包"),
                                                          start, QStringLiteral("GTFS (*.zip)"));
        if (!file.isEmpty()) {
            m_path->setText(file);
            m_feed->setChecked(true);
        }
    });
    connect(buttons, &QDialogButtonBox::accepted, this, &SourceWindow::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &SourceWindow::reject);
}

SourceChoice SourceWindow::choice() const {
    if (m_feed->isChecked())
        return {TimetableSource::Feed, QFileInfo(m_path->text().trimmed()).absoluteFilePath()};
    return {m_live->isChecked() ? TimetableSource::Live : TimetableSource::Sample, m_path->text()};
}

void SourceWindow::accept() {
    // The service would refuse a feed that is not there; say so before closing.
    if (m_feed->isChecked() && !QFileInfo::exists(m_path->text().trimmed())) {
        showMessage(this, QStringLiteral("找不到GTFS数据包：") + m_path->text().trimmed());
        return;
    }
    QDialog::accept();
}
