#include "markers.h"
#include "module1.h"

#include <QTest>

class TextCutsTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void cutTakesPieceUpToEndMarker_data();
    void cutTakesPieceUpToEndMarker();
    void pieceIsMissingWhenTooFewMarkers();
    void onceScannedPiecesCutAlike_data();
    void onceScannedPiecesCutAlike();
    void stripTagsRemovesMarkup_data();
    void stripTagsRemovesMarkup();
    void stripTagsEndsOnHugeUnbalancedInput();
};

void TextCutsTest::cutTakesPieceUpToEndMarker_data() {
    QTest::addColumn<QString>("row");
    QTest::addColumn<QString>("a");
    QTest::addColumn<int>("k");
    QTest::addColumn<QString>("b");
    QTest::addColumn<QString>("expected");

    QTest::newRow("first piece") << "x<i>A</td><i>B</td>"
                                 << "<i>" << 1 << "</td>"
                                 << "A";
    QTest::newRow("second piece") << "x<i>A</td><i>B</td>"
                                  << "<i>" << 2 << "</td>"
                                  << "B";
    QTest::newRow("too few markers") << "x<i>A</td>"
                                     << "<i>" << 2 << "</td>"
                                     << "";
    QTest::newRow("no end marker keeps the piece") << "x<i>AB"
                                                   << "<i>" << 1 << "</td>"
                                                   << "AB";
    QTest::newRow("end marker only in the next piece") << "<i>A<i>B</td>"
                                                       << "<i>" << 1 << "</td>"
                                                       << "A";
    QTest::newRow("empty piece") << "<i><i>B"
                                 << "<i>" << 1 << "</td>"
                                 << "";
    QTest::newRow("non-overlapping occurrences") << "aaaXaa"
                                                 << "aa" << 2 << "X"
                                                 << "";
    QTest::newRow("case matters") << "<I>A</td>"
                                  << "<i>" << 1 << "</td>"
                                  << "";
    QTest::newRow("piece up to the end of the row") << "<i>tail"
                                                    << "<i>" << 1 << "</td>"
                                                    << "tail";
}

void TextCutsTest::cutTakesPieceUpToEndMarker() {
    QFETCH(QString, row);
    QFETCH(QString, a);
    QFETCH(int, k);
    QFETCH(QString, b);
    QFETCH(QString, expected);
    QCOMPARE(markers::cut(row, a, k, b).toString(), expected);
}

void TextCutsTest::pieceIsMissingWhenTooFewMarkers() {
    QCOMPARE(markers::piece(u"abc", u"|", 0)->toString(), QStringLiteral("abc"));
    QCOMPARE(markers::piece(u"a|b|c", u"|", 2)->toString(), QStringLiteral("c"));
    QVERIFY(!markers::piece(u"a|b", u"|", 2));
    QVERIFY(markers::piece(u"a|", u"|", 1)->isEmpty());
}

void TextCutsTest::onceScannedPiecesCutAlike_data() {
    QTest::addColumn<QString>("row");
    QTest::newRow("no marker") << "plain text";
    QTest::newRow("three markers") << "x<c>a</td><c>b</td><c>c";
    QTest::newRow("ten markers") << QStringLiteral("<c>v</td>").repeated(10);
    QTest::newRow("twelve markers, empty pieces") << QStringLiteral("<c>").repeated(12);
    QTest::newRow("markers back to back then text") << "<c><c>x</td><c>y";
}

void TextCutsTest::onceScannedPiecesCutAlike() {
    QFETCH(QString, row);
    const markers::Pieces pieces(row, markers::Marker(u"<c>"));
    for (int k = 1; k <= markers::Pieces::kMaxPiece; ++k)
        QCOMPARE(pieces.cut(k, u"</td>").toString(),
                 markers::cut(row, u"<c>", k, u"</td>").toString());
}

void TextCutsTest::stripTagsRemovesMarkup_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    QTest::newRow("strong") << "<strong>K7</strong>"
                            << "K7";
    QTest::newRow("span and closing anchor") << "<span class=blue1>T58</a>"
                                             << "T58";
    QTest::newRow("nested markup") << "<b><font color=red>Z19</font></b>"
                                   << "Z19";
    QTest::newRow("no <") << "a>b"
                          << "a>b";
    QTest::newRow("no >") << "a<b"
                          << "a<b";
    QTest::newRow("empty") << ""
                           << "";
    QTest::newRow("> before the first < stays") << "x>y<b>z"
                                                << "x>yz";
    QTest::newRow("< without > at the end stays") << "<b>K7<"
                                                  << "K7<";
    QTest::newRow("unclosed tag then text") << "a<b<c>d"
                                            << "ad";
    QTest::newRow("chinese text kept") << "<a href=x>北京西</a>"
                                       << "北京西";
}

void TextCutsTest::stripTagsRemovesMarkup() {
    QFETCH(QString, text);
    QFETCH(QString, expected);
    Module1::StripTags(text);
    QCOMPARE(text, expected);
}

void TextCutsTest::stripTagsEndsOnHugeUnbalancedInput() {
    // Many ">" before any "<", then tags: linear work, and only the markup goes.
    QString text = QString(200000, u'>') + QStringLiteral("<a>x").repeated(50000);
    Module1::StripTags(text);
    QCOMPARE(text, QString(200000, u'>') + QString(50000, u'x'));
}

QTEST_GUILESS_MAIN(TextCutsTest)
#include "tst_textcuts.moc"
