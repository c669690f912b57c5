// The signed sum list as the updater receives it: any bytes from the network. A list that parses
// writes back to text that parses to the same list, and no list passes the signature check
// without the publisher's signature.
#include "release/releasesignature.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

void check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "fuzz_sumlist: %s\n", what);
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const release::KeyPair keys = release::makeKeyPair();
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    QString error;
    const std::optional<release::SumList> list = release::parseSumList(bytes, &error);
    release::SumList accepted;
    // The input's own last line as a signature: never the publisher's.
    const QByteArray signature = bytes.mid(bytes.lastIndexOf('\n', bytes.size() - 2) + 1);
    check(release::checkSignedList(bytes, signature, keys.publicKey, list ? list->version : "", {},
                                   &accepted)
              .has_value(),
          "an unsigned list was accepted");
    if (!list) {
        check(!error.isEmpty(), "a refused list gave no reason");
        return 0;
    }
    for (const release::SignedFile& file : list->files) {
        check(list->find(file.name) == &file, "a name does not find its own record");
        check(file.sha256.size() == release::kDigestBytes && file.size >= 0,
              "a record holds an impossible digest or size");
    }
    const QByteArray text = release::sumListText(*list);
    QString again;
    const std::optional<release::SumList> reread = release::parseSumList(text, &again);
    check(reread.has_value(), "a written list does not read back");
    check(release::sumListText(*reread) == text, "a written list reads back as another");
    // Signed with the key, the written list passes, for its version and every name it holds.
    QStringList names;
    for (const release::SignedFile& file : list->files)
        names.append(file.name);
    check(!release::checkSignedList(text, release::signList(text, keys.secretKey), keys.publicKey,
                                    list->version, names, &accepted)
               .has_value(),
          "a signed list was refused");
    return 0;
}
