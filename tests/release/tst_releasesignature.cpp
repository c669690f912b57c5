#include "release/releasesignature.h"

#include <QTest>

using namespace Qt::StringLiterals;

using namespace release;

namespace {

SignedFile signedFile(const QString& name, const QByteArray& body, int mode = 0644) {
    Sha256 hash;
    hash.add(body.constData(), body.size());
    return {name, hash.result(), body.size(), mode};
}

} // namespace

// What the updater accepts before it fetches a single file.
class TestReleaseSignature : public QObject {
    Q_OBJECT
private slots:
    void acceptsOnlyThePublishersList_data();
    void acceptsOnlyThePublishersList();
    void readsBackEveryRecord();
};

void TestReleaseSignature::acceptsOnlyThePublishersList_data() {
    const KeyPair publisher = makeKeyPair();
    SumList list{QStringLiteral("3.1"), {signedFile(u"a"_s, "new a"), signedFile(u"b c"_s, "b")}};
    const QByteArray text = sumListText(list);
    const QByteArray signature = signList(text, publisher.secretKey);
    const QByteArray badList = "quillon-sums 1\nversion 3.1\nnot a record\n";

    QTest::addColumn<std::optional<QByteArray>>("list");
    QTest::addColumn<std::optional<QByteArray>>("signature");
    QTest::addColumn<QByteArray>("key");
    QTest::addColumn<QString>("version");
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QString>("problem"); // empty: accepted
    const QStringList ab{u"a"_s, u"b c"_s};
    QTest::newRow("sound") << std::optional(text) << std::optional(signature) << publisher.publicKey
                           << "3.1" << ab << "";
    QTest::newRow("signature not hex") << std::optional(text) << std::optional(QByteArray(128, 'z'))
                                       << publisher.publicKey << "3.1" << ab << "签名格式错误";
    // A changed list, a missing signature and another key are tried on the updater itself.
    QTest::newRow("signed but malformed")
        << std::optional(badList) << std::optional(signList(badList, publisher.secretKey))
        << publisher.publicKey << "3.1" << ab << "格式错误";
    QTest::newRow("other version")
        << std::optional(text) << std::optional(signature) << publisher.publicKey << "3.2" << ab
        << "(3.1)与要升级的版本(3.2)";
    QTest::newRow("unsigned file")
        << std::optional(text) << std::optional(signature) << publisher.publicKey << "3.1"
        << QStringList{u"a"_s, u"x"_s} << u"文件x没有发布者的签名"_s;
}

void TestReleaseSignature::acceptsOnlyThePublishersList() {
    QFETCH(std::optional<QByteArray>, list);
    QFETCH(std::optional<QByteArray>, signature);
    QFETCH(QByteArray, key);
    QFETCH(QString, version);
    QFETCH(QStringList, files);
    QFETCH(QString, problem);
    SumList parsed;
    const std::optional<QString> found =
        checkSignedList(list, signature, key, version, files, &parsed);
    if (problem.isEmpty()) {
        QVERIFY2(!found, qPrintable(found.value_or(QString())));
        QCOMPARE(parsed.files.size(), 2);
    } else {
        QVERIFY(found);
        QVERIFY2(found->contains(problem), qPrintable(*found));
        QVERIFY(found->endsWith(QStringLiteral("未安装任何文件。")));
    }
}

void TestReleaseSignature::readsBackEveryRecord() {
    const QString longName = QString(255, u'n');
    const SumList list{QStringLiteral("3.1"),
                       {signedFile(u"with blanks  "_s, "x", 0755), signedFile(longName, ""),
                        signedFile(u"站名"_s, "y", 0600)}};
    QString error;
    const std::optional<SumList> back = parseSumList(sumListText(list), &error);
    QVERIFY2(back, qPrintable(error));
    QCOMPARE(back->version, list.version);
    QCOMPARE(back->files.size(), 3);
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(back->files[i].name, list.files[i].name);
        QCOMPARE(back->files[i].sha256, list.files[i].sha256);
        QCOMPARE(back->files[i].size, list.files[i].size);
        QCOMPARE(back->files[i].mode, list.files[i].mode);
    }
    // A name listed twice would let one record hide another.
    QVERIFY(!parseSumList(sumListText({u"3.1"_s, {list.files[0], list.files[0]}}), &error));
}

QTEST_GUILESS_MAIN(TestReleaseSignature)
#include "tst_releasesignature.moc"
