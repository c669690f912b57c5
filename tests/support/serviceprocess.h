#pragma once

#include <QProcess>
#include <QRegularExpression>

// Starts a built quillon-service on a free loopback port and returns its base address
// ("http://127.0.0.1:PORT/"), or an empty text (with the service's errors logged).
inline QString startServiceProcess(QProcess& service, const QString& program,
                                   const QStringList& args) {
    service.start(program, QStringList{QStringLiteral("--port"), QStringLiteral("0"),
                                       QStringLiteral("--host"), QStringLiteral("127.0.0.1")} +
                               args);
    if (service.waitForStarted(10000)) {
        while (!service.canReadLine() && service.waitForReadyRead(10000)) {
        }
    }
    const QRegularExpressionMatch match =
        QRegularExpression(QStringLiteral("listening on (http://127\\.0\\.0\\.1:\\d+/)"))
            .match(QString::fromUtf8(service.readLine()));
    if (!match.hasMatch())
        qWarning("quillon-service did not start: %s", service.readAllStandardError().constData());
    return match.captured(1);
}

inline void stopServiceProcess(QProcess& service) {
    service.terminate();
    if (!service.waitForFinished(5000))
        service.kill();
    service.waitForFinished(5000);
}
