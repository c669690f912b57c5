#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <functional>

class QLineEdit;
class QListWidget;

// One line offered under a box: what it shows and the texts a pick puts in the boxes (one,
// or two for a departure and arrival pair).
struct Suggestion {
    QString label;
    QStringList texts;
};

// A list under a text box offering what the box may hold: completions while the user types,
// recent queries while it is empty (on Down or a click into it). Up and Down move, Enter picks
// (and is not passed on, so a second Enter runs the query), Esc closes, a click picks. The box
// keeps the focus.
class SuggestionPopup : public QObject {
    Q_OBJECT
public:
    using Provider = std::function<QList<Suggestion>(const QString& text)>;

    SuggestionPopup(QLineEdit* box, Provider provider);

    // Asks the provider again for the box's text; shows the answer, or hides when it is empty.
    void refresh();
    bool isShown() const;
    QListWidget* list() const;

    static constexpr int kRowsShown = 10;

Q_SIGNALS:
    void picked(const QStringList& texts);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void pick(int row);
    void hide();
    void place();

    QLineEdit* m_box;
    Provider m_provider;
    QPointer<QListWidget> m_list;
    QList<Suggestion> m_shown;
    QString m_offeredFor; // the box's text the list was made for
};
