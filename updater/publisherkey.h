#pragma once

#include <QByteArray>

// The publisher's public key the build holds (QUILLON_UPDATE_PUBLIC_KEY, else the build's own).
QByteArray builtInPublicKey();
