#include "address.h"

#include "contract/pagecontract.h"

#include <QStringEncoder>

namespace {

QByteArray gb18030(QStringView text) {
    QStringEncoder encoder(contract::encoding);
    return encoder.encode(text);
}

} // namespace

QByteArray encodeFieldText(const QString& text) {
    return gb18030(text).toPercentEncoding();
}

QByteArray encodeRelativePath(const QString& path) {
    // Every printable ASCII character but the blank stays as it is, "%" included.
    static constexpr char hex[] = "0123456789ABCDEF";
    QByteArray out;
    for (const char c : gb18030(path)) {
        const auto byte = uchar(c);
        if (byte > 0x20 && byte < 0x7F)
            out += c;
        else
            out.append('%').append(hex[byte >> 4]).append(hex[byte & 0xF]);
    }
    return out;
}

QUrl toUrl(const QByteArray& encoded) {
    return QUrl::fromEncoded(encoded, QUrl::TolerantMode);
}
