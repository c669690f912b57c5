#include "release/releasesignature.h"

#include <QFile>
#include <QSaveFile>

#include <algorithm>
#include <sodium.h>

namespace release {

namespace {

const QByteArray kHeaderLine = QByteArrayLiteral("quillon-sums 1");
const QByteArray kVersionPrefix = QByteArrayLiteral("version ");
constexpr qint64 kReadBlockBytes = 1024 * 1024;
constexpr qsizetype kMaxListBytes = 1024 * 1024;

void ensureSodium() {
    // Thread-safe and idempotent; it only fails when the system has no entropy source.
    static const bool ready = sodium_init() >= 0;
    if (!ready)
        qFatal("libsodium cannot start");
}

bool writeHexFile(const QString& path, const QByteArray& bytes, QFileDevice::Permissions mode) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.setPermissions(mode);
    file.write(bytes.toHex() + '\n');
    return file.commit();
}

bool isLowerHex(const QByteArray& text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
}

std::optional<SignedFile> parseFileLine(const QByteArray& line) {
    const QList<QByteArray> parts = line.split(' ');
    if (parts.size() < 4 || parts[0].size() != 2 * kDigestBytes || !isLowerHex(parts[0]))
        return std::nullopt;
    SignedFile file;
    file.sha256 = QByteArray::fromHex(parts[0]);
    bool sizeOk = false, modeOk = false;
    file.size = parts[1].toLongLong(&sizeOk);
    file.mode = parts[2].toInt(&modeOk, 8);
    const qsizetype nameStart = parts[0].size() + parts[1].size() + parts[2].size() + 3;
    file.name = QString::fromUtf8(line.mid(nameStart));
    if (!sizeOk || file.size < 0 || !modeOk || file.mode < 0 || file.mode > 07777 ||
        file.name.isEmpty())
        return std::nullopt;
    return file;
}

} // namespace

const SignedFile* SumList::find(const QString& name) const {
    const auto it = std::find_if(files.begin(), files.end(),
                                 [&](const SignedFile& file) { return file.name == name; });
    return it == files.end() ? nullptr : &*it;
}

QByteArray sumListText(const SumList& list) {
    QByteArray text = kHeaderLine + '\n' + kVersionPrefix + list.version.toUtf8() + '\n';
    for (const SignedFile& file : list.files) {
        text += file.sha256.toHex() + ' ' + QByteArray::number(file.size) + ' ' +
                QByteArray::number(file.mode, 8).rightJustified(4, '0') + ' ' + file.name.toUtf8() +
                '\n';
    }
    return text;
}

std::optional<SumList> parseSumList(const QByteArray& text, QString* error) {
    if (!text.endsWith('\n')) {
        *error = QStringLiteral("the list does not end with a line break");
        return std::nullopt;
    }
    const QList<QByteArray> lines = text.chopped(1).split('\n');
    if (lines.size() < 2 || lines[0] != kHeaderLine || !lines[1].startsWith(kVersionPrefix)) {
        *error = QStringLiteral("the list has no header or no version");
        return std::nullopt;
    }
    SumList list;
    list.version = QString::fromUtf8(lines[1].mid(kVersionPrefix.size()));
    for (qsizetype i = 2; i < lines.size(); ++i) {
        std::optional<SignedFile> file = parseFileLine(lines[i]);
        if (!file || list.find(file->name)) {
            *error = QStringLiteral("line %1 is not a file record").arg(i + 1);
            return std::nullopt;
        }
        list.files.append(std::move(*file));
    }
    return list;
}

struct Sha256::State {
    crypto_hash_sha256_state state;
};

Sha256::Sha256()
    : m_state(new State) {
    ensureSodium();
    crypto_hash_sha256_init(&m_state->state);
}

Sha256::~Sha256() {
    delete m_state;
}

void Sha256::add(const char* data, qsizetype size) {
    crypto_hash_sha256_update(&m_state->state, reinterpret_cast<const unsigned char*>(data),
                              size_t(size));
}

QByteArray Sha256::result() {
    QByteArray digest(kDigestBytes, Qt::Uninitialized);
    crypto_hash_sha256_final(&m_state->state, reinterpret_cast<unsigned char*>(digest.data()));
    return digest;
}

std::optional<FileDigest> digestFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    Sha256 hash;
    FileDigest digest;
    QByteArray block(kReadBlockBytes, Qt::Uninitialized);
    for (;;) {
        const qint64 n = file.read(block.data(), block.size());
        if (n < 0)
            return std::nullopt;
        if (n == 0)
            break;
        hash.add(block.constData(), n);
        digest.size += n;
    }
    digest.sha256 = hash.result();
    return digest;
}

KeyPair makeKeyPair() {
    ensureSodium();
    KeyPair keys{QByteArray(kPublicKeyBytes, Qt::Uninitialized),
                 QByteArray(kSecretKeyBytes, Qt::Uninitialized)};
    crypto_sign_keypair(reinterpret_cast<unsigned char*>(keys.publicKey.data()),
                        reinterpret_cast<unsigned char*>(keys.secretKey.data()));
    return keys;
}

bool writeKeyPair(const KeyPair& keys, const QString& secretPath, QString* error) {
    const QString publicPath = secretPath + QStringLiteral(".pub");
    if (!writeHexFile(secretPath, keys.secretKey,
                      QFileDevice::ReadOwner | QFileDevice::WriteOwner) ||
        !writeHexFile(publicPath, keys.publicKey,
                      QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup |
                          QFileDevice::ReadOther)) {
        *error = QStringLiteral("cannot write %1 or %2").arg(secretPath, publicPath);
        return false;
    }
    return true;
}

std::optional<QByteArray> parseKeyHex(const QByteArray& hex, int bytes) {
    const QByteArray text = hex.trimmed().toLower();
    if (text.size() != 2 * bytes || !isLowerHex(text))
        return std::nullopt;
    return QByteArray::fromHex(text);
}

std::optional<QByteArray> readKeyFile(const QString& path, int bytes, QString* error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot read the key file %1").arg(path);
        return std::nullopt;
    }
    std::optional<QByteArray> key = parseKeyHex(file.read(4 * bytes), bytes);
    if (!key)
        *error = QStringLiteral("%1 does not hold a key of %2 bytes in hex").arg(path).arg(bytes);
    return key;
}

QByteArray signList(const QByteArray& list, const QByteArray& secretKey) {
    ensureSodium();
    QByteArray signature(kSignatureBytes, Qt::Uninitialized);
    crypto_sign_detached(reinterpret_cast<unsigned char*>(signature.data()), nullptr,
                         reinterpret_cast<const unsigned char*>(list.constData()),
                         quint64(list.size()),
                         reinterpret_cast<const unsigned char*>(secretKey.constData()));
    return signature.toHex() + '\n';
}

bool signatureMatches(const QByteArray& list, const QByteArray& signatureText,
                      const QByteArray& publicKey) {
    ensureSodium();
    const std::optional<QByteArray> signature = parseKeyHex(signatureText, kSignatureBytes);
    if (!signature || publicKey.size() != kPublicKeyBytes)
        return false;
    return crypto_sign_verify_detached(
               reinterpret_cast<const unsigned char*>(signature->constData()),
               reinterpret_cast<const unsigned char*>(list.constData()), quint64(list.size()),
               reinterpret_cast<const unsigned char*>(publicKey.constData())) == 0;
}

std::optional<QString> checkSignedList(const std::optional<QByteArray>& listBytes,
                                       const std::optional<QByteArray>& signatureText,
                                       const QByteArray& publicKey, const QString& version,
                                       const QStringList& files, SumList* list) {
    const QString nothing = QStringLiteral(",未安装任何文件。");
    if (!listBytes || listBytes->isEmpty() || listBytes->size() > kMaxListBytes)
        return QStringLiteral("无法取得升级文件的校验清单") + nothing;
    if (!signatureText || signatureText->isEmpty())
        return QStringLiteral("升级文件缺少发布者的签名") + nothing;
    if (!parseKeyHex(*signatureText, kSignatureBytes))
        return QStringLiteral("升级文件的签名格式错误") + nothing;
    if (!signatureMatches(*listBytes, *signatureText, publicKey))
        return QStringLiteral("升级文件的签名无效,不是发布者签署的") + nothing;
    QString why;
    std::optional<SumList> parsed = parseSumList(*listBytes, &why);
    if (!parsed)
        return QStringLiteral("升级文件的校验清单格式错误") + nothing;
    if (parsed->version != version)
        return QStringLiteral("已签名的版本(%1)与要升级的版本(%2)不符")
                   .arg(parsed->version, version) +
               nothing;
    for (const QString& name : files) {
        if (!parsed->find(name))
            return QStringLiteral("文件%1没有发布者的签名").arg(name) + nothing;
    }
    *list = std::move(*parsed);
    return std::nullopt;
}

std::optional<QString> checkDigest(const SignedFile& expected, const FileDigest& received) {
    if (received.size != expected.size || received.sha256 != expected.sha256)
        return QStringLiteral("文件%1与发布者签署的校验值不符,未安装任何文件。").arg(expected.name);
    return std::nullopt;
}

} // namespace release
