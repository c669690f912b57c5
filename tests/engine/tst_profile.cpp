#include "config.h"
#include "module1.h"
#include "release/profile.h"

#include <QFile>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class ProfileTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() {
        QVERIFY(m_dir.isValid());
        m_ini = m_dir.filePath(QStringLiteral("system.ini"));
        QFile::remove(m_ini);
    }
    void readsWithProfileSemantics_data();
    void readsWithProfileSemantics();
    void readIniStringCutsAt254();
    void missingFileReadsEmpty();
    void writeChangesOnlyItsKey_data();
    void writeChangesOnlyItsKey();
    void writeKeepsPermissionsAndLeavesNoTemporaryFile();
    void writeFailsWithoutTouchingWhenFolderMissing();
    void startupReadsVersion();
    void servicesSectionOverridesBuiltIns();

private:
    QTemporaryDir m_dir;
    QString m_ini;
};

void ProfileTest::readsWithProfileSemantics_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");

    const QByteArray ini = "[system]\r\nVersion = 3.0.1 \r\n\r\n[update]\nhttp=http://h/u/\n"
                           "[Other]\nkey=\n";
    QTest::newRow("blanks around the value removed") << ini << "system"
                                                     << "Version"
                                                     << "3.0.1";
    QTest::newRow("section and key without regard to case") << ini << "SYSTEM"
                                                            << "version"
                                                            << "3.0.1";
    QTest::newRow("mixed line endings") << ini << "update"
                                        << "http"
                                        << "http://h/u/";
    QTest::newRow("missing key") << ini << "system"
                                 << "http"
                                 << "";
    QTest::newRow("missing section") << ini << "nowhere"
                                     << "Version"
                                     << "";
    QTest::newRow("key of another section not found") << ini << "update"
                                                      << "Version"
                                                      << "";
    QTest::newRow("empty value") << ini << "other"
                                 << "key"
                                 << "";
    QTest::newRow("first of two keys wins") << QByteArray("[s]\nk=1\nk=2\n") << "s"
                                            << "k"
                                            << "1";
    QTest::newRow("utf-8 with bom") << QByteArray("\xEF\xBB\xBF[s]\nk=西安\n") << "s"
                                    << "k"
                                    << "西安";
    QTest::newRow("value keeps inner =") << QByteArray("[s]\nk=a=b\n") << "s"
                                         << "k"
                                         << "a=b";
}

void ProfileTest::readsWithProfileSemantics() {
    QFETCH(QByteArray, file);
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QString, value);
    writeFile(m_ini, file);
    QCOMPARE(Module1::ReadIniString(section, key, m_ini), value);
}

void ProfileTest::readIniStringCutsAt254() {
    const QByteArray longValue(300, 'v');
    writeFile(m_ini, "[system]\nVersion=" + longValue + "\n");
    QCOMPARE(Module1::ReadIniString(QStringLiteral("system"), QStringLiteral("Version"), m_ini),
             QString(254, u'v'));
    QCOMPARE(readProfileString(QStringLiteral("system"), QStringLiteral("Version"), m_ini).size(),
             300);
}

void ProfileTest::missingFileReadsEmpty() {
    QCOMPARE(Module1::ReadIniString(QStringLiteral("system"), QStringLiteral("Version"),
                                    m_dir.filePath(QStringLiteral("none.ini"))),
             QString());
}

void ProfileTest::writeChangesOnlyItsKey_data() {
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QByteArray>("after");

    QTest::newRow("replace, other lines kept")
        << QByteArray("; note\n[update]\nHTTP = old\nother=1\n\n[system]\nVersion=1\n") << "Update"
        << "http://new/"
        << QByteArray("; note\n[update]\nhttp=http://new/\nother=1\n\n[system]\nVersion=1\n");
    QTest::newRow("add to the end of the section, before blank lines")
        << QByteArray("[update]\nother=1\n\n[system]\nVersion=1\n") << "update"
        << "v" << QByteArray("[update]\nother=1\nhttp=v\n\n[system]\nVersion=1\n");
    QTest::newRow("add the section")
        << QByteArray("[system]\r\nVersion=1\r\n") << "update"
        << "v" << QByteArray("[system]\r\nVersion=1\r\n[update]\r\nhttp=v\r\n");
    QTest::newRow("create the file") << QByteArray() << "update"
                                     << "v" << QByteArray("[update]\nhttp=v\n");
    QTest::newRow("line breaks in the value cannot add keys")
        << QByteArray("[update]\n") << "update"
        << "a\r\nVersion=9" << QByteArray("[update]\nhttp=aVersion=9\n");
}

void ProfileTest::writeChangesOnlyItsKey() {
    QFETCH(QByteArray, before);
    QFETCH(QString, section);
    QFETCH(QString, value);
    QFETCH(QByteArray, after);
    if (!before.isEmpty())
        writeFile(m_ini, before);
    QVERIFY(writeProfileString(section, QStringLiteral("http"), value, m_ini));
    QCOMPARE(readFile(m_ini), after);
}

void ProfileTest::writeKeepsPermissionsAndLeavesNoTemporaryFile() {
    writeFile(m_ini, "[system]\nVersion=1\n");
    QFile::setPermissions(m_ini, QFile::ReadOwner | QFile::WriteOwner);
    QVERIFY(writeProfileString(QStringLiteral("system"), QStringLiteral("Version"),
                               QStringLiteral("2"), m_ini));
    QCOMPARE(readFile(m_ini), QByteArray("[system]\nVersion=2\n"));
    const QFile::Permissions others =
        QFile::ReadGroup | QFile::WriteGroup | QFile::ReadOther | QFile::WriteOther;
    QCOMPARE(QFile::permissions(m_ini) & others, QFile::Permissions());
    // The replacement is atomic: no temporary file is left beside it.
    QCOMPARE(QDir(m_dir.path()).entryList(QDir::Files), QStringList{u"system.ini"_s});
}

void ProfileTest::writeFailsWithoutTouchingWhenFolderMissing() {
    const QString path = m_dir.filePath(QStringLiteral("missing/system.ini"));
    QVERIFY(
        !writeProfileString(QStringLiteral("s"), QStringLiteral("k"), QStringLiteral("v"), path));
    QVERIFY(!QFileInfo::exists(path));
}

void ProfileTest::startupReadsVersion() {
    QCOMPARE(readStartupValues(m_dir.path()).curVersion, QString()); // no system.ini yet
    writeFile(m_ini, "[system]\nVersion=3.0\n");
    const StartupValues values = readStartupValues(m_dir.path());
    QCOMPARE(values.iniPath, m_ini);
    QCOMPARE(values.curVersion, QStringLiteral("3.0"));
}

void ProfileTest::servicesSectionOverridesBuiltIns() {
    writeFile(m_ini, "[services]\ntimetable=http://10.0.0.1:1/tt\nportal=http://p/\n");
    const ServiceAddresses addresses = loadServiceAddresses(m_ini);
    QCOMPARE(addresses.timetable, QStringLiteral("http://10.0.0.1:1/tt/"));
    QCOMPARE(addresses.portal, QStringLiteral("http://p/"));
    QCOMPARE(addresses.fare, builtInAddresses().fare);
    QVERIFY(builtInAddresses().timetable.startsWith(QStringLiteral("http://127.0.0.1:")));
}

QTEST_GUILESS_MAIN(ProfileTest)
#include "tst_profile.moc"
