#pragma once

#include "config.h"
#include "localservice.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <QString>

// The client's program-wide values: set once while the main window loads (start-up read) or
// from the command line, read by the other windows.
namespace Program {

inline QString IniPath;        // the program folder and "system.ini"
inline QString CurVersion;     // [system] Version, empty when there is none
inline bool SelfUpdate = true; // false in a system-wide install, which its package manager updates
inline ServiceAddresses Services = builtInAddresses();
inline SourceChoice Source; // what the bundled service serves when the client starts it

// Texts of the publisher that the windows show; configuration, not code.
inline const QString kPortalBrand = QStringLiteral("Quillon 铁路时刻  127.0.0.1");
inline const QString kContactLine = QStringLiteral("help@quillon.example");
// The credit line naming the service's source ("样例时刻表"); the bare name without one.
inline QString creditLine(const QString& source) {
    const QString name = QStringLiteral("Quillon 查询系统");
    return source.isEmpty() ? name : name + QStringLiteral(" · ") + source;
}
// Until the service's station list names its source: the bundled service's default.
inline const QString kCreditLine = creditLine(QStringLiteral("样例时刻表"));

// Names the program for its settings and cache folders. It sets no display name on purpose:
// the window system would append one to every window's caption.
inline void nameApplication() {
    QCoreApplication::setApplicationName(QStringLiteral("quillon"));
}

// Qt's own buttons and dialogs ("确定", the file dialog) in Chinese, as the windows are; false
// when Qt's translations are not installed (the texts stay English).
inline bool useChineseQtTexts() {
    static QTranslator qtTexts;
    if (!qtTexts.load(QLocale(QLocale::Chinese, QLocale::China), QStringLiteral("qtbase"),
                      QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        return false;
    return QCoreApplication::installTranslator(&qtTexts);
}

} // namespace Program
