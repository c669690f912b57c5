#pragma once

#include <QStringMatcher>
#include <QStringView>

#include <optional>

// Pages are cut with split-and-take-piece operations on fixed markers, matched exactly and
// case-sensitively; never with an HTML parser. The functions return views into the text,
// so a scrape copies only the cells it keeps.
namespace markers {

// Piece k (counted from 0) of `text` split at every non-overlapping occurrence of `marker`:
// the text between the k-th and the (k+1)-th occurrence, or to the end. nullopt when the text
// holds fewer than k occurrences, so callers can skip the step the piece would have set.
std::optional<QStringView> piece(QStringView text, QStringView marker, qsizetype k);

// Piece 0 of `text` split at `end`: everything before its first occurrence, or all of it.
QStringView upTo(QStringView text, QStringView end);

// The marker cut of the train lists: piece k (k >= 1) of the row split at `a`, up to the first
// `b` in it; empty when the row holds fewer than k occurrences of `a`.
QStringView cut(QStringView row, QStringView a, qsizetype k, QStringView b);

bool contains(QStringView text, QStringView phrase);

// A marker searched for many times: its skip table is built once, and long markers then let
// the search jump through a row instead of looking at every character.
class Marker {
public:
    explicit Marker(QStringView text)
        : m_matcher(text.toString()) {}
    qsizetype size() const { return m_matcher.pattern().size(); }
    qsizetype indexIn(QStringView text, qsizetype from = 0) const {
        return m_matcher.indexIn(text, from);
    }

private:
    QStringMatcher m_matcher;
};

// cut(A, k, B) with a prepared marker A.
QStringView cut(QStringView row, const Marker& a, qsizetype k, QStringView b);

} // namespace markers

namespace markers {

// The occurrences of one marker in a row, found in one scan, so that several cuts at the same
// marker do not search the row again from its start. Holds pieces 1 to kMaxPiece.
class Pieces {
public:
    static constexpr qsizetype kMaxPiece = 9;

    Pieces(QStringView row, const Marker& marker);
    // cut(marker, k, end) of the row, for 1 <= k <= kMaxPiece.
    QStringView cut(qsizetype k, QStringView end) const;

private:
    QStringView m_row;
    qsizetype m_markerSize;
    qsizetype m_found = 0;
    qsizetype m_at[kMaxPiece + 1] = {}; // positions of the first kMaxPiece + 1 occurrences
};

} // namespace markers
