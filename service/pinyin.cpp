#include "pinyin.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QStringList>

#include <unicode/translit.h>
#include <unicode/unistr.h>

#include <algorithm>
#include <memory>
#include <mutex>

namespace pinyin {
namespace {

using Points = QList<uint>; // code points, as QString::toUcs4 gives them

QString fromPoints(const uint* points, qsizetype count) {
    return QString::fromUcs4(reinterpret_cast<const char32_t*>(points), count);
}

// A word the transliterator reads wrongly in a place name, with its syllables. Matched
// anywhere in a name, longest first, so "六安东" still reads "lu an dong".
struct WordReading {
    const char16_t* word;
    const char* syllables;
};

// Reviewed against how the stations are called; each entry is a polyphonic or rare reading
// where ICU's default reading of the character differs.
const WordReading wordReadings[] = {
    {u"蚌埠", "beng bu"},    // 蚌 is "bang" (mussel) except in this city
    {u"六安", "lu an"},      // 六 reads "lu" in this city's name, not "liu"
    {u"长子", "zhang zi"},   // the one county where 长 keeps "zhang" (see charReadings)
    {u"乐清", "yue qing"},   // 乐 reads "yue" here, not "le"
    {u"礼乐", "li yue"},     // and here
    {u"乐亭", "lao ting"},   // 乐 reads "lao" here
    {u"西藏", "xi zang"},    // 藏 is "zang" for Tibet, ICU says "cang"
    {u"单县", "shan xian"},  // 单 as a place name (and surname) is "shan"
    {u"单家", "shan jia"},   // the surname 单 in village names (单家集) is "shan" too
    {u"番禺", "pan yu"},     // 番 is "pan" here; 吐鲁番 keeps "fan"
    {u"铅山", "yan shan"},   // 铅 is "yan" in this county only
    {u"洪洞", "hong tong"},  // 洞 is "tong" in this county only
    {u"尉犁", "yu li"},      // 尉 is "yu" here; 尉氏 keeps "wei"
    {u"蔚县", "yu xian"},    // 蔚 is "yu" for this county
    {u"涡阳", "guo yang"},   // 涡 is "guo" for the river and town
    {u"黄陂", "huang pi"},   // 陂 is "pi" here
    {u"筠连", "jun lian"},   // 筠 is "jun" here
    {u"枞阳", "zong yang"},  // 枞 is "zong" here
    {u"珲春", "hun chun"},   // 珲 is "hun" here
    {u"犍为", "qian wei"},   // 犍 is "qian" here
    {u"泊头", "bo tou"},     // 泊 is "bo" here, ICU says "po"
    {u"泌阳", "bi yang"},    // 泌 is "bi" here
    {u"莘庄", "xin zhuang"}, // 莘 is "xin" here; 莘县 keeps "shen"
    {u"荥经", "ying jing"},  // 荥 is "ying" here; 荥阳 keeps "xing"
    {u"宝坻", "bao di"},     // 坻 is "di" here, not "chi"
    {u"繁峙", "fan shi"},    // 峙 is "shi" in this county, not "zhi"
    {u"冠豸", "guan zhai"},  // 豸 is "zhai" in 冠豸山
    {u"太姥", "tai mu"},     // 姥 is "mu" in 太姥山
    {u"吴圩", "wu xu"},      // 圩 is "xu" (market) in the south; elsewhere "wei"
    {u"麻涌", "ma chong"},   // 涌 is "chong" (stream) in Guangdong place names
    {u"水茜", "shui xi"},    // 茜 is "xi" here
    {u"南仇", "nan qiu"},    // 仇 is "qiu" as a name
    {u"铁刹", "tie cha"},    // 刹 is "cha" (temple) in 铁刹山
    {u"马圈", "ma juan"},    // 圈 is "juan" (pen) here; 鲅鱼圈 keeps "quan"
    {u"褚家", "zhu jia"},    // 褚 is "zhu" in 褚家湾
    {u"咋子", "zha zi"},     // 咋 is "zha" here
    // 堡 is "bao" (fort) in 龙洞堡 and most towns, "pu" (post station) or "bu" (walled
    // village) in northern place names, each by local use.
    {u"林盛堡", "lin sheng pu"},
    {u"白奎堡", "bai kui pu"},
    {u"双城堡", "shuang cheng pu"},
    {u"通远堡", "tong yuan pu"},
    {u"惠安堡", "hui an pu"},
    {u"南堡", "nan pu"},
    {u"平原堡", "ping yuan pu"},
    {u"祁家堡", "qi jia pu"},
    {u"牙屯堡", "ya tun pu"},
    {u"柴沟堡", "chai gou bu"},
    {u"红寺堡", "hong si bu"},
    {u"甜水堡", "tian shui bu"},
    {u"吴堡", "wu bu"},
    {u"兴泉堡", "xing quan bu"},
    {u"阳明堡", "yang ming bu"},
};

// Characters whose reading in place names differs from ICU's default everywhere they occur
// (unless a word above says otherwise).
const QHash<uint, QString>& charReadings() {
    static const QHash<uint, QString> readings = {
        {U'长', QStringLiteral("chang")}, // 长沙, 长春, 长治: ICU gives "zhang"
        {U'都', QStringLiteral("du")},    // 成都, 都匀, 都江堰: ICU gives "dou"
        {U'厦', QStringLiteral("xia")},   // 厦门: ICU gives "sha"
        {U'勒', QStringLiteral("le")},    // 库尔勒, 阿勒泰, 疏勒: ICU gives "lei"
        {U'佛', QStringLiteral("fo")},    // 佛山, 佛坪: ICU gives "fu"
        {U'什', QStringLiteral("shi")},   // 喀什, 什邡, 阿图什: ICU gives "shen"
        {U'地', QStringLiteral("di")},    // 土地堂, 秧草地: ICU gives "de" in runs
        {U'仔', QStringLiteral("zai")},   // 湾仔: ICU gives "zi"
        {U'牟', QStringLiteral("mu")},    // 中牟, 牟平: ICU gives "mou"
        {U'埔', QStringLiteral("pu")},    // 黄埔, 大埔: ICU gives "bu"
        {U'棱', QStringLiteral("ling")},  // 穆棱, 绥棱: ICU gives "leng"
        {U'浚', QStringLiteral("xun")},   // 浚县, 滑浚: ICU gives "jun"
        {U'曾', QStringLiteral("zeng")},  // 曾口, as the surname: ICU gives "ceng"
    };
    return readings;
}

// Every syllable of Mandarin pinyin, ü as v; "lue"/"nue" are accepted for lve/nve.
const QSet<QString>& syllables() {
    static const QSet<QString> set = [] {
        const char* text =
            "a ai an ang ao e ei en eng er o ou "
            "ba bai ban bang bao bei ben beng bi bian biao bie bin bing bo bu "
            "pa pai pan pang pao pei pen peng pi pian piao pie pin ping po pou pu "
            "ma mai man mang mao me mei men meng mi mian miao mie min ming miu mo mou mu "
            "fa fan fang fei fen feng fo fou fu "
            "da dai dan dang dao de dei den deng di dia dian diao die ding diu dong dou du duan "
            "dui dun duo "
            "ta tai tan tang tao te tei teng ti tian tiao tie ting tong tou tu tuan tui tun tuo "
            "na nai nan nang nao ne nei nen neng ni nian niang niao nie nin ning niu nong nou nu "
            "nuan nuo nun nv nve nue "
            "la lai lan lang lao le lei leng li lia lian liang liao lie lin ling liu lo long lou "
            "lu luan lun luo lv lve lue "
            "ga gai gan gang gao ge gei gen geng gong gou gu gua guai guan guang gui gun guo "
            "ka kai kan kang kao ke kei ken keng kong kou ku kua kuai kuan kuang kui kun kuo "
            "ha hai han hang hao he hei hen heng hong hou hu hua huai huan huang hui hun huo "
            "ji jia jian jiang jiao jie jin jing jiong jiu ju juan jue jun "
            "qi qia qian qiang qiao qie qin qing qiong qiu qu quan que qun "
            "xi xia xian xiang xiao xie xin xing xiong xiu xu xuan xue xun "
            "zha zhai zhan zhang zhao zhe zhei zhen zheng zhi zhong zhou zhu zhua zhuai zhuan "
            "zhuang zhui zhun zhuo "
            "cha chai chan chang chao che chen cheng chi chong chou chu chua chuai chuan chuang "
            "chui chun chuo "
            "sha shai shan shang shao she shei shen sheng shi shou shu shua shuai shuan shuang "
            "shui shun shuo "
            "ran rang rao re ren reng ri rong rou ru rua ruan rui run ruo "
            "za zai zan zang zao ze zei zen zeng zi zong zou zu zuan zui zun zuo "
            "ca cai can cang cao ce cen ceng ci cong cou cu cuan cui cun cuo "
            "sa sai san sang sao se sen seng si song sou su suan sui sun suo "
            "ya yan yang yao ye yi yin ying yo yong you yu yuan yue yun "
            "wa wai wan wang wei wen weng wo wu";
        QSet<QString> all;
        for (const QString& s : QString::fromLatin1(text).split(u' ', Qt::SkipEmptyParts))
            all.insert(s);
        return all;
    }();
    return set;
}
constexpr int longestSyllable = 6; // "zhuang"

bool isHan(uint c) {
    return QChar::script(c) == QChar::Script_Han;
}

// Romanised text to lower-case a-z words: tone marks and tone digits go, ü (or "u:") becomes
// v, fullwidth letters fold to ASCII, and every other character separates words.
QStringList latinWords(const QString& text) {
    const QString decomposed = text.normalized(QString::NormalizationForm_KD);
    QStringList words;
    QString word;
    for (qsizetype i = 0; i < decomposed.size(); ++i) {
        const QChar c = decomposed.at(i);
        if (c.category() == QChar::Mark_NonSpacing)
            continue;
        const bool umlaut = i + 1 < decomposed.size() && decomposed.at(i + 1) == u'\u0308';
        const bool colon = i + 1 < decomposed.size() && decomposed.at(i + 1) == u':';
        if ((c == u'u' || c == u'U') && (umlaut || colon)) {
            word += u'v';
            i += colon ? 1 : 0; // the umlaut is skipped as a mark
        } else if (c.unicode() < 128 && c.isLetter()) {
            word += c.toLower();
        } else if (!word.isEmpty()) {
            words.append(word);
            word.clear();
        }
    }
    if (!word.isEmpty())
        words.append(word);
    return words;
}

// ICU's Han-Latin transliterator: slow to create, so made once and shared under a lock.
class HanLatin {
public:
    static HanLatin& instance() {
        static HanLatin one;
        return one;
    }

    // ICU's reading of `run`, split at the blanks it puts between syllables (one per
    // character as a rule; empty when the transliterator is missing).
    QStringList syllablesOf(const QString& run) {
        if (!m_transliterator)
            return {};
        icu::UnicodeString text(reinterpret_cast<const UChar*>(run.utf16()),
                                static_cast<int32_t>(run.size()));
        {
            std::lock_guard lock(m_mutex);
            m_transliterator->transliterate(text);
        }
        const QString latin = QString::fromUtf16(text.getBuffer(), text.length());
        return latin.split(u' ', Qt::SkipEmptyParts);
    }

private:
    HanLatin() {
        UErrorCode status = U_ZERO_ERROR;
        m_transliterator.reset(
            icu::Transliterator::createInstance("Han-Latin", UTRANS_FORWARD, status));
        if (U_FAILURE(status)) {
            qWarning("pinyin: ICU's Han-Latin transliterator is missing (%s); Chinese "
                     "station names get no pinyin",
                     u_errorName(status));
            m_transliterator.reset();
        }
    }

    std::mutex m_mutex;
    std::unique_ptr<icu::Transliterator> m_transliterator;
};

struct Word {
    Points points;
    QStringList syllables;
};

const QList<Word>& words() {
    static const QList<Word> all = [] {
        QList<Word> list;
        for (const WordReading& entry : wordReadings)
            list.append(Word{QString::fromUtf16(entry.word).toUcs4(),
                             QString::fromLatin1(entry.syllables).split(u' ')});
        return list;
    }();
    return all;
}

// The longest reviewed word starting at `at`, or null.
const Word* wordAt(const Points& text, qsizetype at) {
    const Word* best = nullptr;
    for (const Word& word : words()) {
        const qsizetype n = word.points.size();
        if ((best && n <= best->points.size()) || at + n > text.size())
            continue;
        if (std::equal(word.points.begin(), word.points.end(), text.begin() + at))
            best = &word;
    }
    return best;
}

// üe after l and n is written "ue", as in the railway's own list (略阳 "lueyang"): the finals
// cannot be mistaken there, unlike lü/lu and nü/nu, which keep the v.
QString withUeFinals(QString pinyin) {
    pinyin.replace(QLatin1String("lve"), QLatin1String("lue"));
    pinyin.replace(QLatin1String("nve"), QLatin1String("nue"));
    return pinyin;
}

QString hanSyllable(uint c, const QString& icuReading) {
    const auto fixed = charReadings().constFind(c);
    if (fixed != charReadings().constEnd())
        return *fixed;
    return withUeFinals(latinWords(icuReading).join(QString()));
}

// The syllables of a run of Han characters: ICU reads the run whole, so its own
// multi-character readings (重庆 "chong") apply, and the fixed character readings win.
void appendHanRun(const Points& run, QStringList& out) {
    const QString text = fromPoints(run.constData(), run.size());
    const QStringList whole = HanLatin::instance().syllablesOf(text);
    for (qsizetype k = 0; k < run.size(); ++k) {
        QString icuReading;
        if (whole.size() == run.size()) {
            icuReading = whole.at(k);
        } else {
            const QStringList single = HanLatin::instance().syllablesOf(fromPoints(&run.at(k), 1));
            icuReading = single.join(QString());
        }
        const QString syllable = hanSyllable(run.at(k), icuReading);
        if (!syllable.isEmpty())
            out.append(syllable);
    }
}

QStringList syllablesOfName(const QString& name) {
    const Points text = name.toUcs4();
    QStringList out;
    qsizetype i = 0;
    while (i < text.size()) {
        if (const Word* word = wordAt(text, i)) {
            out += word->syllables;
            i += word->points.size();
            continue;
        }
        qsizetype j = i + 1;
        if (isHan(text.at(i))) {
            while (j < text.size() && isHan(text.at(j)) && !wordAt(text, j))
                ++j;
            appendHanRun(text.mid(i, j - i), out);
        } else {
            while (j < text.size() && !isHan(text.at(j)))
                ++j;
            out += latinWords(fromPoints(text.constData() + i, j - i));
        }
        i = j;
    }
    return out;
}

Reading fromSyllables(const QStringList& parts) {
    Reading reading;
    for (const QString& s : parts) {
        reading.full += s;
        reading.initials += s.at(0);
    }
    return reading;
}

// Splits the words into exactly `count` pinyin syllables (none crossing a word boundary) and
// returns their first letters, or an empty string when no such split exists.
QString initialsOfSplit(const QStringList& words, qsizetype count) {
    QString joined;
    QList<bool> boundary{true}; // boundary[p]: a word starts or ends at p
    for (const QString& w : words) {
        joined += w;
        boundary.resize(joined.size() + 1, false);
        boundary[joined.size()] = true;
    }
    const qsizetype length = joined.size();
    if (count <= 0 || length > 512 || count > length)
        return {};
    // memo[p * (count + 1) + r]: 1 when joined[p..] splits into r syllables, 2 when not;
    // choice holds the length of the first syllable of that split.
    QList<char> memo((length + 1) * (count + 1), 0);
    QList<int> choice((length + 1) * (count + 1), 0);
    auto solve = [&](auto&& self, qsizetype p, qsizetype r) -> bool {
        if (p == length)
            return r == 0;
        if (r == 0)
            return false;
        char& known = memo[p * (count + 1) + r];
        if (known)
            return known == 1;
        known = 2;
        for (int len = longestSyllable; len >= 1; --len) {
            if (p + len > length)
                continue;
            bool crosses = false;
            for (qsizetype q = p + 1; q < p + len && !crosses; ++q)
                crosses = boundary[q];
            if (crosses || !syllables().contains(joined.mid(p, len)))
                continue;
            if (self(self, p + len, r - 1)) {
                known = 1;
                choice[p * (count + 1) + r] = len;
                return true;
            }
        }
        return false;
    };
    if (!solve(solve, 0, count))
        return {};
    QString initials;
    for (qsizetype p = 0, r = count; p < length; --r) {
        initials += joined.at(p);
        p += choice[p * (count + 1) + r];
    }
    return initials;
}

} // namespace

Reading of(const QString& name) {
    return fromSyllables(syllablesOfName(name));
}

Reading fromTranslation(const QString& name, const QString& latin) {
    const QStringList words = latinWords(latin);
    if (words.isEmpty())
        return of(name);
    Reading reading;
    reading.full = withUeFinals(words.join(QString()));
    const Points points = name.toUcs4();
    const qsizetype hanCount = std::count_if(points.begin(), points.end(), isHan);
    reading.initials = initialsOfSplit(words, hanCount);
    if (reading.initials.isEmpty())
        reading.initials = of(name).initials;
    return reading;
}

} // namespace pinyin
