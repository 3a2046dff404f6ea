#include "search/TextFolding.h"

#include <array>
#include <atomic>

namespace flintly::search {

namespace {

bool isMark(char32_t c)
{
    const auto cat = QChar::category(c);
    return cat == QChar::Mark_NonSpacing || cat == QChar::Mark_SpacingCombining || cat == QChar::Mark_Enclosing;
}

bool dropsMarks(char32_t base)
{
    const auto script = QChar::script(base);
    return script == QChar::Script_Latin || script == QChar::Script_Greek || script == QChar::Script_Cyrillic
        || script == QChar::Script_Common || script == QChar::Script_Inherited;
}

// Letters whose stroke or bar is part of the letter itself, so decomposition leaves
// them alone, though readers take them for accented forms of a plain letter.
char16_t plainLetter(char16_t c)
{
    switch (c) {
    case u'ø': return u'o';
    case u'ł': return u'l';
    case u'đ': return u'd';
    case u'ħ': return u'h';
    case u'ŧ': return u't';
    case u'ı': return u'i';
    default: return c;
    }
}

QString foldSequence(QStringView sequence)
{
    QString d = sequence.toString().normalized(QString::NormalizationForm_D);
    if (!d.isEmpty()
        && dropsMarks(QChar::isHighSurrogate(d[0].unicode()) && d.size() > 1 ? QChar::surrogateToUcs4(d[0], d[1])
                                                                             : d[0].unicode())) {
        QString kept;
        kept.reserve(d.size());
        for (qsizetype i = 0; i < d.size(); ++i) {
            if (d[i].category() == QChar::Mark_NonSpacing)
                continue;
            kept.append(d[i]);
        }
        d = kept;
    }
    // Qt folds simply: the one full folding readers expect, "ß" as "ss", is done here.
    QString folded = d.toCaseFolded();
    folded.replace(QChar(u'ß'), QStringLiteral("ss"));
    folded.replace(QChar(u'ẞ'), QStringLiteral("ss"));
    for (QChar& c : folded)
        c = QChar(plainLetter(c.unicode()));
    return folded.normalized(QString::NormalizationForm_C);
}

// Folding one BMP character is the common case outside ASCII (accented Latin, CJK,
// Cyrillic): its result is remembered in a table filled on first use. An entry packs
// up to three UTF-16 units, their count and a "known" bit; entries are written whole,
// so threads racing to fill one write the same value.
class SingleCharTable {
public:
    // Appends the folded form of `c` to `out`; false when it does not fit an entry.
    bool append(char16_t c, QString& out)
    {
        std::uint64_t e = table_[c].load(std::memory_order_relaxed);
        if (!(e & kKnown)) {
            const QString f = foldSequence(QStringView(&c, 1));
            e = kKnown;
            if (f.size() <= 3) {
                e |= static_cast<std::uint64_t>(f.size()) << 48;
                for (qsizetype i = 0; i < f.size(); ++i)
                    e |= static_cast<std::uint64_t>(f[i].unicode()) << (16 * i);
            } else {
                e |= kTooLong;
            }
            table_[c].store(e, std::memory_order_relaxed);
        }
        if (e & kTooLong)
            return false;
        const int n = static_cast<int>((e >> 48) & 0x3);
        for (int i = 0; i < n; ++i)
            out.append(QChar(static_cast<char16_t>(e >> (16 * i))));
        return true;
    }

private:
    static constexpr std::uint64_t kKnown = 1ull << 63;
    static constexpr std::uint64_t kTooLong = 1ull << 62;
    std::array<std::atomic<std::uint64_t>, 0x10000> table_{};
};

SingleCharTable& singleChars()
{
    static SingleCharTable* table = new SingleCharTable;
    return *table;
}

char32_t codePointAt(QStringView text, qsizetype i, qsizetype* length)
{
    const char16_t u = text[i].unicode();
    if (QChar::isHighSurrogate(u) && i + 1 < text.size() && QChar::isLowSurrogate(text[i + 1].unicode())) {
        *length = 2;
        return QChar::surrogateToUcs4(u, text[i + 1].unicode());
    }
    *length = 1;
    return u;
}

template <typename Emit> void foldInto(QStringView text, QString& out, Emit&& origin)
{
    const qsizetype n = text.size();
    const char16_t* units = reinterpret_cast<const char16_t*>(text.data());
    qsizetype i = 0;
    while (i < n) {
        // Most text is ASCII: a run of it is lowered in one go, all but a last letter
        // that a combining mark follows.
        qsizetype j = i;
        while (j < n && units[j] < 0x80)
            ++j;
        if (j < n && j > i && units[j] >= 0x300) {
            qsizetype l = 0;
            if (isMark(codePointAt(text, j, &l)))
                --j;
        }
        if (j > i) {
            const qsizetype at = out.size();
            out.resize(at + (j - i));
            char16_t* to = reinterpret_cast<char16_t*>(out.data()) + at;
            for (qsizetype k = i; k < j; ++k) {
                const char16_t c = units[k];
                to[k - i] = c >= 'A' && c <= 'Z' ? static_cast<char16_t>(c + 32) : c;
            }
            for (qsizetype k = i; k < j; ++k)
                origin(at + (k - i), at + (k - i) + 1, k);
            i = j;
            continue;
        }
        const char16_t u = units[i];
        // The sequence ends before the next character that is not a mark.
        qsizetype len = 0;
        codePointAt(text, i, &len);
        qsizetype end = i + len;
        while (end < n && text[end].unicode() >= 0x300) {
            qsizetype l = 0;
            if (!isMark(codePointAt(text, end, &l)))
                break;
            end += l;
        }
        const qsizetype before = out.size();
        if (end == i + 1 && u < 0x80) {
            out.append(QChar(u >= 'A' && u <= 'Z' ? static_cast<char16_t>(u + 32) : u));
        } else if (end != i + 1 || !singleChars().append(u, out)) {
            out.append(foldSequence(text.sliced(i, end - i)));
        }
        origin(before, out.size(), i);
        i = end;
    }
}

}  // namespace

QString fold(QStringView text)
{
    QString out;
    out.reserve(text.size());
    foldInto(text, out, [](qsizetype, qsizetype, qsizetype) {});
    return out;
}

FoldedText foldWithOrigins(QStringView text)
{
    FoldedText f;
    f.text.reserve(text.size());
    f.origin.reserve(static_cast<std::size_t>(text.size()) + 1);
    foldInto(text, f.text, [&f](qsizetype from, qsizetype to, qsizetype at) {
        for (qsizetype k = from; k < to; ++k)
            f.origin.push_back(at);
    });
    f.origin.push_back(text.size());
    return f;
}

bool isWordChar(char32_t c)
{
    if (c < 0x80)
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    return QChar::isLetterOrNumber(c) || isMark(c);
}

}  // namespace flintly::search
