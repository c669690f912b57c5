#pragma once

#include <QString>

// Pinyin of station names for the client's station completion: lower-case a-z only, no tones
// and no separators, ü written as v except in lue and nue. Safe to call from several threads.
namespace pinyin {

struct Reading {
    QString full;     // "beijingxi"
    QString initials; // "bjx": the first letter of each syllable
};

// ICU's Han-Latin transliteration corrected by a reviewed table of place-name readings.
// Latin letters in the name are kept, lower-cased; digits and other signs are dropped.
Reading of(const QString& name);

// A feed's own romanisation of `name` (translations.txt, zh-Latn), normalised as above. The
// initials come from its syllables when it splits into one pinyin syllable per Han character
// of the name, else from of(name). An empty romanisation gives of(name).
Reading fromTranslation(const QString& name, const QString& latin);

} // namespace pinyin
