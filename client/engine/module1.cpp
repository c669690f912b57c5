#include "module1.h"

#include "release/installlocation.h"
#include "pagefetcher.h"
#include "release/profile.h"

#include <QCoreApplication>
#include <QStringDecoder>

namespace Module1 {

QString FetchPage(const QUrl& url, const QString& charset) {
    return PageFetcher::shared().fetch(url, charset).text;
}

namespace {
QByteArray decoderName(const QString& charset) {
    QByteArray name = charset.trimmed().toLatin1().toUpper();
    if (name == "GB2312" || name == "GBK")
        name = "GB18030";
    return name;
}
} // namespace

QString pageCharset(const QString& declared, const QString& fallback) {
    if (declared.trimmed().isEmpty() ||
        !QStringDecoder(decoderName(declared).constData()).isValid())
        return fallback;
    return declared;
}

QString DecodeBytes(const QByteArray& bytes, const QString& charset) {
    QStringDecoder decoder(decoderName(charset).constData());
    if (!decoder.isValid())
        decoder = QStringDecoder(QStringConverter::Utf8);
    // The body is complete: a line break after it makes the decoder give up a sequence cut at
    // the end as invalid (U+FFFD) instead of holding it back as pending.
    QString text = decoder.decode(bytes);
    text += decoder.decode(QByteArrayView("\n"));
    text.chop(1);
    return text;
}

void StripTags(QString& text) {
    qsizetype open = text.indexOf(u'<');
    if (open < 0)
        return;
    qsizetype close = text.indexOf(u'>', open + 1);
    if (close < 0)
        return;

    // One pass: everything before the first "<" of each round is final, so copy it out.
    QString out;
    out.reserve(text.size());
    qsizetype from = 0;
    while (open >= 0 && close >= 0) {
        out.append(QStringView(text).sliced(from, open - from));
        from = close + 1;
        open = text.indexOf(u'<', from);
        close = open < 0 ? -1 : text.indexOf(u'>', open + 1);
    }
    out.append(QStringView(text).sliced(from));
    text = std::move(out);
}

QString ReadIniString(const QString& section, const QString& key, const QString& file) {
    return readProfileString(section, key, file).left(kIniValueLimit);
}

} // namespace Module1

FetchResult loadPage(PageFetcher& fetcher, const QUrl& url) {
    const PageFetcher::InFlight inFlight(fetcher);
    QCoreApplication::processEvents();
    FetchResult result = fetcher.fetch(url, QStringLiteral("gb2312"));
    result.text.remove(u'"');
    QCoreApplication::processEvents();
    return result;
}

StartupValues readStartupValues(const QString& programFolder) {
    const InstallLocation location = locateInstall(programFolder);
    StartupValues values;
    values.iniPath = location.iniPath;
    values.selfUpdate = location.selfUpdate;
    values.curVersion = Module1::ReadIniString(QStringLiteral("system"), QStringLiteral("Version"),
                                               location.versionIniPath);
    return values;
}
