#include "updater/publisherkey.h"

#include "publisherkey_generated.h"

QByteArray builtInPublicKey() {
    return QByteArray::fromHex(QByteArrayLiteral(kPublisherPublicKeyHex));
}
