#pragma once

#include <QDialog>

#include <functional>

class QLabel;
class QPlainTextEdit;
class QPushButton;

// The update prompt: the version on offer, its release notes and "立即升级", which starts the
// updater and ends the client.
class Form5 : public QDialog {
    Q_OBJECT
public:
    // `unload` closes the main window (which opens the portal) and ends the program.
    Form5(QWidget* owner, std::function<void()> unload);

    // Sets Label1 and Text1 and remembers what the updater is told.
    void setOffer(const QString& newVersion, const QString& updateFiles, const QString& notes);

    QLabel* Label1 = nullptr;
    QPlainTextEdit* Text1 = nullptr;
    QPushButton* Command1 = nullptr;

    // The updater's path in the program folder and its one argument.
    static QString updaterProgram();
    QString updaterArgument() const;

    // Starts a program without waiting for it; tests replace it with a recorder. An empty
    // launcher restores the real one.
    using Launcher = std::function<bool(const QString& program, const QStringList& arguments)>;
    static void setLauncher(Launcher launcher);

    void Command1_Click();

private:
    std::function<void()> m_unload;
    QString m_newVersion;
    QString m_updateFiles;
};
