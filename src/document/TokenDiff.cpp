#include "document/TokenDiff.h"

#include <QChar>
#include <QHashFunctions>

#include <algorithm>

namespace flintly::TokenDiff {

namespace {

void push(Tokens& t, qsizetype end)
{
    const qsizetype begin = t.starts.back();
    t.hashes.push_back(qHash(t.text.mid(begin, end - begin)));
    t.starts.push_back(end);
}

char32_t codePointAt(QStringView text, qsizetype i, qsizetype* length)
{
    const QChar c = text[i];
    if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
        *length = 2;
        return QChar::surrogateToUcs4(c, text[i + 1]);
    }
    *length = 1;
    return c.unicode();
}

bool isMark(char32_t cp)
{
    const auto category = QChar::category(cp);
    return category == QChar::Mark_NonSpacing || category == QChar::Mark_SpacingCombining
        || category == QChar::Mark_Enclosing;
}

bool isWordPart(char32_t cp) { return cp == U'_' || QChar::isLetterOrNumber(cp) || isMark(cp); }

bool isHorizontalSpace(char32_t cp) { return cp != U'\n' && cp != U'\r' && QChar::isSpace(cp); }

constexpr char32_t kZeroWidthJoiner = 0x200D;

}  // namespace

bool Tokens::same(qsizetype i, const Tokens& other, qsizetype j) const
{
    return hashes[static_cast<std::size_t>(i)] == other.hashes[static_cast<std::size_t>(j)]
        && token(i) == other.token(j);
}

Tokens lines(QStringView text)
{
    Tokens t;
    t.text = text;
    const qsizetype n = text.size();
    t.hashes.reserve(static_cast<std::size_t>(n / 40));
    t.starts.reserve(static_cast<std::size_t>(n / 40) + 1);
    if (!text.contains(u'\r')) {
        // The common case, found a line at a time rather than a character at a time.
        for (qsizetype at = text.indexOf(u'\n'); at >= 0; at = text.indexOf(u'\n', at + 1))
            push(t, at + 1);
    } else {
        for (qsizetype i = 0; i < n; ++i) {
            const char16_t c = text[i].unicode();
            if (c == u'\n' || (c == u'\r' && (i + 1 == n || text[i + 1] != u'\n')))
                push(t, i + 1);
        }
    }
    if (t.starts.back() < n)
        push(t, n);
    return t;
}

Tokens words(QStringView text)
{
    Tokens t;
    t.text = text;
    const qsizetype n = text.size();
    qsizetype i = 0;
    while (i < n) {
        qsizetype len = 1;
        const char32_t cp = codePointAt(text, i, &len);
        if (cp == U'\r') {
            i += (i + 1 < n && text[i + 1] == u'\n') ? 2 : 1;
        } else if (cp == U'\n') {
            i += 1;
        } else if (isHorizontalSpace(cp)) {
            for (i += len; i < n && isHorizontalSpace(codePointAt(text, i, &len));)
                i += len;
        } else if (isWordPart(cp)) {
            for (i += len; i < n && isWordPart(codePointAt(text, i, &len));)
                i += len;
        } else {
            // One character, with what extends it: marks, variation selectors, and a
            // zero-width joiner together with the character it joins.
            for (i += len; i < n;) {
                const char32_t next = codePointAt(text, i, &len);
                if (next == kZeroWidthJoiner) {
                    i += len;
                    if (i < n) {
                        codePointAt(text, i, &len);
                        i += len;
                    }
                } else if (isMark(next)) {
                    i += len;
                } else {
                    break;
                }
            }
        }
        push(t, i);
    }
    return t;
}

std::vector<Hunk> diff(const Tokens& a, const Tokens& b, qsizetype maxEdits)
{
    const qsizetype n = a.size(), m = b.size();
    qsizetype head = 0;
    while (head < n && head < m && a.same(head, b, head))
        ++head;
    // Only the common head is cut off before the search. Cutting the tail too would
    // pin a change to the end of an ambiguous stretch ("a\nb\n" to "A\n" would become
    // "a\nb" to "A"), where the forward search lines it up with the earliest match,
    // as a person reading it would.
    const qsizetype N = n - head, M = m - head;
    if (N == 0 && M == 0)
        return {};
    auto whole = [&] {
        qsizetype tail = 0;
        while (tail < N && tail < M && a.same(n - 1 - tail, b, m - 1 - tail))
            ++tail;
        return std::vector<Hunk>{Hunk{head, n - tail, head, m - tail}};
    };
    if (N == 0 || M == 0)
        return whole();

    // Greedy forward search over diagonals k = x - y. trace[d] keeps, for the diagonals
    // -d - 1 .. d + 1, the furthest x reached before step d, for walking the path back.
    const qsizetype limit = std::min(N + M, maxEdits);
    const qsizetype offset = limit + 1;
    std::vector<qsizetype> v(static_cast<std::size_t>(2 * limit + 3), 0);
    auto at = [&](qsizetype k) -> qsizetype& { return v[static_cast<std::size_t>(k + offset)]; };
    std::vector<std::vector<qsizetype>> trace;
    qsizetype found = -1;
    for (qsizetype d = 0; d <= limit && found < 0; ++d) {
        trace.emplace_back(v.begin() + (offset - d - 1), v.begin() + (offset + d + 2));
        for (qsizetype k = -d; k <= d; k += 2) {
            qsizetype x = (k == -d || (k != d && at(k - 1) < at(k + 1))) ? at(k + 1) : at(k - 1) + 1;
            qsizetype y = x - k;
            while (x < N && y < M && a.same(head + x, b, head + y)) {
                ++x;
                ++y;
            }
            at(k) = x;
            if (x >= N && y >= M) {
                found = d;
                break;
            }
        }
    }
    if (found < 0)
        return whole();

    // Walk back from the end, one insertion or deletion per step, gathering them into
    // hunks (from the last to the first).
    std::vector<Hunk> hunks;
    auto note = [&](qsizetype ax, qsizetype bx, bool deletion) {
        const qsizetype a0 = head + ax, b0 = head + bx;
        if (!hunks.empty()) {
            Hunk& h = hunks.back();
            if (h.a0 == a0 + (deletion ? 1 : 0) && h.b0 == b0 + (deletion ? 0 : 1)) {
                h.a0 = a0;
                h.b0 = b0;
                return;
            }
        }
        hunks.push_back(deletion ? Hunk{a0, a0 + 1, b0, b0} : Hunk{a0, a0, b0, b0 + 1});
    };
    qsizetype x = N, y = M;
    for (qsizetype d = found; d > 0; --d) {
        const std::vector<qsizetype>& row = trace[static_cast<std::size_t>(d)];
        auto before = [&](qsizetype k) { return row[static_cast<std::size_t>(k + d + 1)]; };
        const qsizetype k = x - y;
        const bool down = k == -d || (k != d && before(k - 1) < before(k + 1));
        const qsizetype prevK = down ? k + 1 : k - 1;
        const qsizetype prevX = before(prevK);
        const qsizetype prevY = prevX - prevK;
        if (down)
            note(prevX, prevY, false);  // b[prevY] inserted before a[prevX]
        else
            note(prevX, prevY, true);  // a[prevX] deleted
        x = prevX;
        y = prevY;
    }
    std::reverse(hunks.begin(), hunks.end());
    return hunks;
}

}  // namespace flintly::TokenDiff
