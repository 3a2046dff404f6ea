#include "document/TextMerge.h"

#include "document/TokenDiff.h"

#include <algorithm>
#include <optional>

namespace flintly::TextMerge {

namespace {

using TokenDiff::Hunk;
using TokenDiff::Tokens;

enum class Level { lines, words };

bool isBreak(QChar c) { return c == u'\n' || c == u'\r'; }

// Whether a character keeps the words on either side of it apart.
bool isSeparator(QChar c) { return !(c.isLetterOrNumber() || c.isMark() || c == u'_'); }

enum class Breaks { none, lf, crlf, other };

Breaks breaksOf(QStringView text)
{
    qsizetype lf = 0, crlf = 0, cr = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'\r') {
            if (i + 1 < text.size() && text[i + 1] == u'\n') {
                ++crlf;
                ++i;
            } else {
                ++cr;
            }
        } else if (text[i] == u'\n') {
            ++lf;
        }
    }
    if (lf + crlf + cr == 0)
        return Breaks::none;
    if (cr == 0 && crlf == 0)
        return Breaks::lf;
    if (cr == 0 && lf == 0)
        return Breaks::crlf;
    return Breaks::other;
}

QString withBreaks(const QString& text, Breaks to)
{
    QString out = text;
    if (to == Breaks::crlf)
        out.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    else
        out.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return out;
}

// Never cut between the two halves of a surrogate pair or of CR LF.
bool isCutInsidePair(QStringView s, qsizetype at)
{
    if (at <= 0 || at >= s.size())
        return false;
    return (s[at - 1].isHighSurrogate() && s[at].isLowSurrogate()) || (s[at - 1] == u'\r' && s[at] == u'\n');
}

// Regions this long that both sides changed are not merged word by word: at that size
// it is no longer a paragraph edited twice but two different texts.
constexpr qsizetype kLongestWordMerge = 200'000;

class Merger {
public:
    explicit Merger(QString lineBreak) : lineBreak_(std::move(lineBreak)) {}

    // Merges one stretch; `oursAt` is where the stretch of ours begins in the whole
    // text, `atEnd` whether the stretch ends where the whole text does.
    bool run(QStringView base, QStringView ours, QStringView theirs, qsizetype oursAt, Level level, bool atEnd);

    std::vector<Edit> edits;
    int taken = 0;

private:
    struct Group {
        const Tokens *base, *ours, *theirs;
        std::vector<Hunk> a, b;        // hunks of ours and of theirs, in base tokens
        qsizetype start = 0, end = 0;  // base tokens
        qsizetype oursStart = 0, oursEnd = 0, theirsStart = 0, theirsEnd = 0;
        static QStringView region(const Tokens& t, qsizetype from, qsizetype to)
        {
            return t.text.mid(t.offset(from), t.offset(to) - t.offset(from));
        }
        QStringView oursText() const { return region(*ours, oursStart, oursEnd); }
        QStringView theirsText() const { return region(*theirs, theirsStart, theirsEnd); }
    };

    // Merges a stretch both sides (or only theirs) changed; false for a conflict.
    bool resolve(const Group& g, Level level, qsizetype oursAt, bool atEnd);
    std::optional<QString> besideAWord(const Group& g) const;
    void record(qsizetype at, QStringView before, QStringView after);

    QString lineBreak_;
};

bool Merger::run(QStringView base, QStringView ours, QStringView theirs, qsizetype oursAt, Level level, bool atEnd)
{
    const Tokens tb = level == Level::lines ? TokenDiff::lines(base) : TokenDiff::words(base);
    const Tokens to = level == Level::lines ? TokenDiff::lines(ours) : TokenDiff::words(ours);
    const Tokens tt = level == Level::lines ? TokenDiff::lines(theirs) : TokenDiff::words(theirs);
    const std::vector<Hunk> a = TokenDiff::diff(tb, to);
    const std::vector<Hunk> b = TokenDiff::diff(tb, tt);
    std::size_t i = 0, j = 0;
    qsizetype shiftA = 0, shiftB = 0;  // ours' (theirs') token index minus the base's, so far
    while (i < a.size() || j < b.size()) {
        Group g{&tb, &to, &tt, {}, {}, 0, 0, 0, 0, 0, 0};
        g.start = std::min(i < a.size() ? a[i].a0 : tb.size(), j < b.size() ? b[j].a0 : tb.size());
        g.end = g.start;
        const qsizetype startA = shiftA, startB = shiftB;
        // Changes that overlap or touch belong together.
        for (bool grew = true; grew;) {
            grew = false;
            for (; i < a.size() && a[i].a0 <= g.end; ++i, grew = true) {
                g.a.push_back(a[i]);
                g.end = std::max(g.end, a[i].a1);
                shiftA += (a[i].b1 - a[i].b0) - (a[i].a1 - a[i].a0);
            }
            for (; j < b.size() && b[j].a0 <= g.end; ++j, grew = true) {
                g.b.push_back(b[j]);
                g.end = std::max(g.end, b[j].a1);
                shiftB += (b[j].b1 - b[j].b0) - (b[j].a1 - b[j].a0);
            }
        }
        g.oursStart = g.start + startA;
        g.oursEnd = g.end + shiftA;
        g.theirsStart = g.start + startB;
        g.theirsEnd = g.end + shiftB;
        if (g.b.empty())
            continue;  // only the user changed this: it stays as it is
        if (!resolve(g, level, oursAt + to.offset(g.oursStart), atEnd && g.end == tb.size()))
            return false;
    }
    return true;
}

bool Merger::resolve(const Group& g, Level level, qsizetype oursAt, bool atEnd)
{
    const QStringView ours = g.oursText(), theirs = g.theirsText();
    if (g.a.empty() || ours == theirs) {
        record(oursAt, ours, theirs);
        return true;
    }
    if (g.start == g.end) {
        // Both added here and nothing of the base lies between: the file's first. Two
        // last lines added at the end of a text without a final break stay two lines.
        QString both = theirs.toString();
        const bool lineStart = g.start == 0 || isBreak(g.base->token(g.start - 1).back());
        if (atEnd && lineStart && !isBreak(both.back()))
            both += lineBreak_;
        both += ours;
        record(oursAt, ours, both);
        return true;
    }
    if (level == Level::lines) {
        const QStringView base = Group::region(*g.base, g.start, g.end);
        if (base.size() > kLongestWordMerge)
            return false;
        return run(base, ours, theirs, oursAt, Level::words, atEnd);
    }
    const std::optional<QString> beside = besideAWord(g);
    if (beside)
        record(oursAt, ours, *beside);
    return beside.has_value();
}

// One side replaced words and the other added a word right before or after them.
std::optional<QString> Merger::besideAWord(const Group& g) const
{
    if (g.a.size() != 1 || g.b.size() != 1)
        return std::nullopt;
    const Hunk& ha = g.a.front();
    const Hunk& hb = g.b.front();
    const bool aAdds = ha.a0 == ha.a1, bAdds = hb.a0 == hb.a1;
    if (aAdds == bAdds)
        return std::nullopt;
    const Hunk& add = aAdds ? ha : hb;
    const Hunk& change = aAdds ? hb : ha;
    if (change.b0 == change.b1)
        return std::nullopt;  // a deletion: what the addition was written beside is gone
    const QStringView added = Group::region(aAdds ? *g.ours : *g.theirs, add.b0, add.b1);
    const QStringView changed = Group::region(aAdds ? *g.theirs : *g.ours, change.b0, change.b1);
    if (add.a0 == change.a1 && isSeparator(added.front()))
        return changed.toString().append(added);
    if (add.a0 == change.a0 && isSeparator(added.back()))
        return added.toString().append(changed);
    return std::nullopt;
}

void Merger::record(qsizetype at, QStringView before, QStringView after)
{
    if (before == after)
        return;
    const qsizetype most = std::min(before.size(), after.size());
    qsizetype head = 0;
    while (head < most && before[head] == after[head])
        ++head;
    while (head > 0 && (isCutInsidePair(before, head) || isCutInsidePair(after, head)))
        --head;
    qsizetype tail = 0;
    while (tail < most - head && before[before.size() - 1 - tail] == after[after.size() - 1 - tail])
        ++tail;
    while (tail > 0 && (isCutInsidePair(before, before.size() - tail) || isCutInsidePair(after, after.size() - tail)))
        --tail;
    edits.push_back(Edit{at + head, at + before.size() - tail, after.mid(head, after.size() - head - tail).toString()});
    ++taken;
}

QString lineBreakOf(QStringView text)
{
    if (text.contains(u"\r\n"))
        return QStringLiteral("\r\n");
    if (!text.contains(u'\n') && text.contains(u'\r'))
        return QStringLiteral("\r");
    return QStringLiteral("\n");
}

}  // namespace

QString applyEdits(const QString& text, const std::vector<Edit>& edits)
{
    QString out;
    qsizetype grow = 0;
    for (const Edit& e : edits)
        grow += e.insert.size() - (e.to - e.from);
    out.reserve(text.size() + std::max<qsizetype>(grow, 0));
    qsizetype at = 0;
    for (const Edit& e : edits) {
        out.append(QStringView(text).mid(at, e.from - at));
        out.append(e.insert);
        at = e.to;
    }
    out.append(QStringView(text).mid(at));
    return out;
}

Result merge(const QString& base, const QString& ours, const QString& theirs)
{
    Result result;
    if (ours == theirs || base == theirs) {
        result.clean = true;
        result.text = ours;
        return result;
    }
    // A file whose line breaks were all converted (a sync tool on Windows) would
    // differ from the base on every line: the other two are given its breaks first.
    QString b = base, o = ours;
    const bool anyCr = theirs.contains(u'\r') || base.contains(u'\r');
    const Breaks file = anyCr ? breaksOf(theirs) : Breaks::lf, was = anyCr ? breaksOf(base) : Breaks::lf;
    if ((file == Breaks::crlf && was == Breaks::lf) || (file == Breaks::lf && was == Breaks::crlf)) {
        b = withBreaks(base, file);
        const Breaks mine = breaksOf(ours);
        if (mine == was || mine == Breaks::none)
            o = withBreaks(ours, file);
        result.breaksConverted = o != ours;
    }
    // A file cut to less than half while the user was editing is more likely an old
    // copy brought back, or a sync gone wrong, than an edit to merge into theirs.
    if (theirs.size() * 2 < base.size())
        return result;
    Merger merger(anyCr ? lineBreakOf(theirs) : QStringLiteral("\n"));
    if (!merger.run(b, o, theirs, 0, Level::lines, true))
        return result;
    result.clean = true;
    result.changesTaken = merger.taken;
    result.text = applyEdits(o, merger.edits);
    if (!result.breaksConverted)
        result.edits = std::move(merger.edits);
    return result;
}

}  // namespace flintly::TextMerge
