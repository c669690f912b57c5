#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// What proves that an update comes from its publisher: a list of SHA-256 sums of the release's
// files, published beside them, and an Ed25519 signature of that list's exact bytes.
//
// The sum list is UTF-8 text, one record a line:
//   quillon-sums 1
//   version 3.1
//   <sha256, 64 hex digits> <size in bytes> <permission bits, octal> <file name>
// The name is the rest of the line, so it may hold blanks. The signature file holds the 64-byte
// detached signature as 128 hex digits. Key files hold hex too: 32 bytes public, 64 secret.
namespace release {

inline const QString kSumListName = QStringLiteral("SHA256SUMS");
inline const QString kSignatureName = QStringLiteral("SHA256SUMS.sig");
inline constexpr int kPublicKeyBytes = 32;
inline constexpr int kSecretKeyBytes = 64;
inline constexpr int kSignatureBytes = 64;
inline constexpr int kDigestBytes = 32;

struct SignedFile {
    QString name;
    QByteArray sha256; // raw digest
    qint64 size = 0;
    int mode = 0644; // for a file the program folder does not hold yet
};

struct SumList {
    QString version;
    QList<SignedFile> files;

    const SignedFile* find(const QString& name) const;
};

QByteArray sumListText(const SumList& list);
// Nullopt for anything but a well-formed list; `error` says which line is wrong.
std::optional<SumList> parseSumList(const QByteArray& text, QString* error);

// Streaming SHA-256, so files of any size hash in constant memory.
class Sha256 {
public:
    Sha256();
    ~Sha256();
    Sha256(const Sha256&) = delete;
    Sha256& operator=(const Sha256&) = delete;
    void add(const char* data, qsizetype size);
    QByteArray result();

private:
    struct State;
    State* m_state;
};

// The digest and size of a file, read in blocks; nullopt when it cannot be read.
struct FileDigest {
    QByteArray sha256;
    qint64 size = 0;
};
std::optional<FileDigest> digestFile(const QString& path);

struct KeyPair {
    QByteArray publicKey;
    QByteArray secretKey;
};
KeyPair makeKeyPair();
// Writes the secret key to `secretPath` (readable by its owner only) and the public key to
// `secretPath` + ".pub".
bool writeKeyPair(const KeyPair& keys, const QString& secretPath, QString* error);
// A key of `bytes` bytes from a hex text file, or from hex text itself.
std::optional<QByteArray> readKeyFile(const QString& path, int bytes, QString* error);
std::optional<QByteArray> parseKeyHex(const QByteArray& hex, int bytes);

QByteArray signList(const QByteArray& list, const QByteArray& secretKey); // hex text, one line
bool signatureMatches(const QByteArray& list, const QByteArray& signatureText,
                      const QByteArray& publicKey);

// Checks a downloaded sum list and its signature before anything is fetched by it: the
// signature is the publisher's, the list is well formed, is for `version`, and signs every
// name of `files`. The problem, in Chinese, for the user; nullopt with `list` set when sound.
std::optional<QString> checkSignedList(const std::optional<QByteArray>& listBytes,
                                       const std::optional<QByteArray>& signatureText,
                                       const QByteArray& publicKey, const QString& version,
                                       const QStringList& files, SumList* list);

// Whether a downloaded file is the one the list signs; the problem in Chinese otherwise.
std::optional<QString> checkDigest(const SignedFile& expected, const FileDigest& received);

} // namespace release
