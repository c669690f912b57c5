#pragma once

#include "transfer.h"

#include <QDialog>

class Form1;
class QLabel;
class QListWidget;

// The transfer window: the cities offered instead of through trains. A click on a city runs
// that leg's query, which refills the main window's station-to-station list behind it.
class Form3 : public QDialog {
    Q_OBJECT
public:
    Form3(const QList<TransferEntry>& entries, const QString& caption, Form1* owner);

public Q_SLOTS:
    void ListView1_Click();
    void LeftCommand1_Click();
    void RightCommand1_Click();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void fitNote(QLabel* note) const;

    Form1* m_owner;
    QListWidget* ListView1 = nullptr;
};

// The leg query path an entry of the list holds (its hidden "明细" cell).
inline constexpr int kLegPathRole = Qt::UserRole + 1;
