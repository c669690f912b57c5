#pragma once

#include <QString>
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

} // namespace markers
