#pragma once

#include <QHostAddress>
#include <QTcpServer>

// A loopback port the system just handed out and that is closed again: nothing listens there,
// so a connection is refused at once.
inline quint16 releasedPort() {
    QTcpServer server;
    server.listen(QHostAddress::LocalHost, 0);
    const quint16 port = server.serverPort();
    server.close();
    return port;
}
