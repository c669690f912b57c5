#pragma once

#include "localservice.h"

#include <QDialog>

class QLineEdit;
class QRadioButton;

// Where the bundled service takes its timetable from: the sample, a GTFS feed or the official
// site. Shows the choice in force; choice() is what the user picked when accepted.
class SourceWindow : public QDialog {
    Q_OBJECT
public:
    explicit SourceWindow(const SourceChoice& current, QWidget* parent = nullptr);

    SourceChoice choice() const;

    void accept() override;

private:
    QRadioButton* m_sample = nullptr;
    QRadioButton* m_feed = nullptr;
    QRadioButton* m_live = nullptr;
    QLineEdit* m_path = nullptr;
};
