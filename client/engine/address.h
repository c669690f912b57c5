#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>

// Query addresses are built by concatenation on a service base ending in "/". The user's
// text goes into its field percent-encoded as GB18030 bytes, every byte outside
// A-Z a-z 0-9 - . _ ~, so the service receives exactly what was typed ("&", "#", "%", a
// trailing blank included).
QByteArray encodeFieldText(const QString& text);

// Service bases and relative paths taken from pages (detail links, transfer legs) stand as they
// are (already-encoded parts kept), except that
// blanks and characters outside printable ASCII are percent-encoded as GB18030 bytes, as a
// browser does for a GB2312 page.
QByteArray encodeRelativePath(const QString& path);

// The address of `encoded` bytes; its text form, for reports, is QString::fromLatin1(encoded).
QUrl toUrl(const QByteArray& encoded);
