#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>

class PageFetcher;
struct FetchResult;

// The client's shared procedures (OpenPortal needs a desktop and lives with the windows).
namespace Module1 {

// The response body of a GET on `url` decoded in `charset`; the empty text when the request
// fails (the shared fetcher keeps why).
QString FetchPage(const QUrl& url, const QString& charset);

// Decodes `bytes` in the named character set. "gb2312" is read with the GB18030 decoder, a
// superset, as browsers do; invalid bytes become U+FFFD, and decoding never fails (an unknown
// charset name falls back to UTF-8).
QString DecodeBytes(const QByteArray& bytes, const QString& charset);

// The charset to read a page in: the one it declares when this program can decode it (the
// GB2312 family by GB18030), else `fallback`.
QString pageCharset(const QString& declared, const QString& fallback);

// Removes markup in place: while some "<" has a ">" after it, the characters from the first
// "<" through the first ">" that follows it go. Ends on every input.
void StripTags(QString& text);

// One value of an INI file, at most 254 characters; empty when file, section or key is missing.
QString ReadIniString(const QString& section, const QString& key, const QString& file);

inline constexpr qsizetype kIniValueLimit = 254;

} // namespace Module1

// The page-load step every query uses: yield, fetch in "gb2312", remove every double quote,
// yield again. The text is what the page buffer RichBox then holds.
FetchResult loadPage(PageFetcher& fetcher, const QUrl& url);

// The start-up read of the main window.
struct StartupValues {
    QString iniPath;        // IniPath: system.ini beside the programs, or in the user's
                            // configuration folder for a system-wide install (installlocation.h)
    QString curVersion;     // CurVersion: [system] Version, or empty
    bool selfUpdate = true; // false for a system-wide install: its package manager updates it
};
StartupValues readStartupValues(const QString& programFolder);
