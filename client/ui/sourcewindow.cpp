#include "sourcewindow.h"

#include "messages.h"

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStandardPaths>

SourceWindow::SourceWindow(const SourceChoice& current, QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("SourceWindow"));
    setWindowTitle(QStringLiteral("时刻数据来源"));
    setWindowIcon(QIcon(QStringLiteral(":/icon.svg")));

    m_sample = new QRadioButton(QStringLiteral("内置样例时刻表（时刻虚构，供试用）"), this);
    m_feed = new QRadioButton(QStringLiteral("GTFS 数据包（文件夹或 .zip）："), this);
    m_live = new QRadioButton(QStringLiteral("官方网站实时数据（需联网）"), this);
    m_sample->setObjectName(QStringLiteral("SampleSource"));
    m_feed->setObjectName(QStringLiteral("FeedSource"));
    m_live->setObjectName(QStringLiteral("LiveSource"));
    m_path = new QLineEdit(current.feed, this);
    m_path->setObjectName(QStringLiteral("FeedPath"));
    m_path->setMinimumWidth(320);
    auto* browse = new QPushButton(QStringLiteral("浏览…"), this);
    browse->setAutoDefault(false);
    const auto buttons =
        new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    auto* note = new QLabel(QStringLiteral("本地时刻服务由本程序启动，更改后立即重新启动。"), this);
    note->setWordWrap(true);

    auto* grid = new QGridLayout(this);
    grid->addWidget(m_sample, 0, 0, 1, 3);
    grid->addWidget(m_feed, 1, 0, 1, 3);
    grid->addWidget(m_path, 2, 0, 1, 2);
    grid->addWidget(browse, 2, 2);
    grid->addWidget(m_live, 3, 0, 1, 3);
    grid->addWidget(note, 4, 0, 1, 3);
    grid->addWidget(buttons, 5, 0, 1, 3);

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
