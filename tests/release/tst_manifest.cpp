#include "release/manifest.h"

#include <QTest>

using namespace Qt::StringLiterals;

using namespace manifest;

class TestManifest : public QObject {
    Q_OBJECT
private slots:
    void cutsFieldsWithoutTrimming_data();
    void cutsFieldsWithoutTrimming();
    void missingFieldsKeepPreviousValues_data();
    void missingFieldsKeepPreviousValues();
    void offersOnlyADifferentShortVersion_data();
    void offersOnlyADifferentShortVersion();
    void commandLineRoundTrips_data();
    void commandLineRoundTrips();
    void parsesUpdaterArgument_data();
    void parsesUpdaterArgument();
    void refusesUnsafeFileNames_data();
    void refusesUnsafeFileNames();
};

void TestManifest::cutsFieldsWithoutTrimming_data() {
    QTest::addColumn<QString>("body");
    QTest::addColumn<QString>("version");
    QTest::addColumn<QString>("base");
    QTest::addColumn<QString>("files");
    QTest::addColumn<QString>("notes");
    QTest::newRow("full") << "3.1|http://h/u/|a.exe,b.dll||||||修正\r\n"
                          << "3.1"
                          << "http://h/u/"
                          << "a.exe,b.dll"
                          << "修正\r\n";
    QTest::newRow("line break before first bar belongs to version") << "3.1\n|b|c"
                                                                    << "3.1\n"
                                                                    << "b"
                                                                    << "c"
                                                                    << "";
    QTest::newRow("blanks kept") << " 3.1 | b |c"
                                 << " 3.1 "
                                 << " b "
                                 << "c"
                                 << "";
    QTest::newRow("no bar is one field") << "<html>error</html>"
                                         << "<html>error</html>"
                                         << ""
                                         << ""
                                         << "";
    QTest::newRow("empty body") << ""
                                << ""
                                << ""
                                << ""
                                << "";
    QTest::newRow("notes hold later bars only up to the next") << "v|b|f|3|4|5|6|7|notes|9"
                                                               << "v"
                                                               << "b"
                                                               << "f"
                                                               << "notes";
}

void TestManifest::cutsFieldsWithoutTrimming() {
    QFETCH(QString, body);
    const QStringList fields = cutManifest(body);
    QTEST(manifestField(fields, kVersionField), "version");
    QTEST(manifestField(fields, kBaseAddressField), "base");
    QTEST(manifestField(fields, kFilesField), "files");
    QTEST(manifestField(fields, kNotesField), "notes");
}

void TestManifest::missingFieldsKeepPreviousValues_data() {
    QTest::addColumn<QString>("body");
    QTest::addColumn<QString>("version");
    QTest::addColumn<QString>("files");
    QTest::newRow("failed fetch") << ""
                                  << "old"
                                  << "oldfiles";
    QTest::newRow("one field") << "3.2"
                               << "3.2"
                               << "oldfiles";
    QTest::newRow("two fields") << "3.2|b"
                                << "3.2"
                                << "oldfiles";
    QTest::newRow("three fields") << "3.2|b|"
                                  << "3.2"
                                  << "";
}

void TestManifest::missingFieldsKeepPreviousValues() {
    QFETCH(QString, body);
    QString version = QStringLiteral("old");
    QString files = QStringLiteral("oldfiles");
    applyManifest(cutManifest(body), version, files);
    QTEST(version, "version");
    QTEST(files, "files");
}

void TestManifest::offersOnlyADifferentShortVersion_data() {
    QTest::addColumn<QString>("offered");
    QTest::addColumn<QString>("installed");
    QTest::addColumn<bool>("offers");
    QTest::newRow("equal") << "3.1"
                           << "3.1" << false;
    QTest::newRow("newer") << "3.2"
                           << "3.1" << true;
    QTest::newRow("older is offered too") << "3.0"
                                          << "3.1" << true;
    QTest::newRow("seven characters") << "3.1.2.4"
                                      << "3.1" << true;
    QTest::newRow("eight characters") << "3.1.2.45"
                                      << "3.1" << false;
    QTest::newRow("line break makes it differ") << "3.1\n"
                                                << "3.1" << true;
    QTest::newRow("case matters") << "v3"
                                  << "V3" << true;
    QTest::newRow("empty installed version") << "3.1"
                                             << "" << true;
    QTest::newRow("empty offer") << ""
                                 << "3.1" << false;
    QTest::newRow("empty both") << ""
                                << "" << false;
    QTest::newRow("seven CJK characters") << "三点一版本号二"
                                          << "3.1" << true;
}

void TestManifest::offersOnlyADifferentShortVersion() {
    QFETCH(QString, offered);
    QFETCH(QString, installed);
    QTEST(offersUpdate(offered, installed), "offers");
}

void TestManifest::commandLineRoundTrips_data() {
    QTest::addColumn<QString>("version");
    QTest::addColumn<QString>("files");
    QTest::addColumn<QString>("argument");
    QTest::addColumn<QStringList>("parsedFiles");
    QTest::newRow("two files") << "3.1"
                               << "a.exe,b.dll" << u"3.1?a.exe,b.dll"_s
                               << QStringList{u"a.exe"_s, u"b.dll"_s};
    QTest::newRow("no files") << "3.1"
                              << ""
                              << "3.1?" << QStringList{};
    QTest::newRow("trailing comma keeps empty entry")
        << "3.1"
        << "a," << u"3.1?a,"_s << QStringList{u"a"_s, u""_s};
    QTest::newRow("blanks kept") << "3.1"
                                 << " a b" << u"3.1? a b"_s << QStringList{u" a b"_s};
}

void TestManifest::commandLineRoundTrips() {
    QFETCH(QString, version);
    QFETCH(QString, files);
    const QString argument = updaterArgument(version, files);
    QTEST(argument, "argument");
    const UpdaterCommand command = parseUpdaterArgument(argument);
    QCOMPARE(command.version, version);
    QTEST(command.files, "parsedFiles");
}

void TestManifest::parsesUpdaterArgument_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("version");
    QTest::addColumn<QStringList>("files");
    QTest::newRow("empty") << ""
                           << "" << QStringList{};
    QTest::newRow("no question mark") << "3.1"
                                      << "3.1" << QStringList{};
    QTest::newRow("further pieces ignored") << "3.1?a?b" << u"3.1"_s << QStringList{u"a"_s};
    QTest::newRow("only commas") << "3.1?," << u"3.1"_s << QStringList{u""_s, u""_s};
    QTest::newRow("no version") << "?a" << u""_s << QStringList{u"a"_s};
}

void TestManifest::parsesUpdaterArgument() {
    QFETCH(QString, text);
    const UpdaterCommand command = parseUpdaterArgument(text);
    QTEST(command.version, "version");
    QTEST(command.files, "files");
}

void TestManifest::refusesUnsafeFileNames_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("safe");
    QTest::newRow("plain") << "quillon" << true;
    QTest::newRow("dotted") << "libengine.so.3" << true;
    QTest::newRow("leading dots in a name") << "..hidden" << true;
    QTest::newRow("chinese") << "说明.txt" << true;
    QTest::newRow("empty") << "" << false;
    QTest::newRow("dot") << "." << false;
    QTest::newRow("dot dot") << ".." << false;
    QTest::newRow("absolute") << "/etc/passwd" << false;
    QTest::newRow("climbs") << "../x" << false;
    QTest::newRow("subfolder") << "lib/x" << false;
    QTest::newRow("backslash") << "..\\x" << false;
    QTest::newRow("nul") << QStringLiteral("a") + QChar(0) + QStringLiteral("b") << false;
}

void TestManifest::refusesUnsafeFileNames() {
    QFETCH(QString, name);
    QTEST(isSafeUpdateFileName(name), "safe");
}

QTEST_GUILESS_MAIN(TestManifest)
#include "tst_manifest.moc"
