#include "editor/ScriptText.h"

namespace flintly::ScriptText {

namespace {

void appendUnicodeEscape(QString& out, char16_t unit)
{
    out += QStringLiteral("\\u");
    out += QStringLiteral("%1").arg(static_cast<uint>(unit), 4, 16, QLatin1Char('0'));
}

// Characters both literal kinds must spell as escapes: line terminators and other
// controls, and UTF-16 units that are not part of a valid pair (they would turn into
// U+FFFD when the script is handed to the engine as UTF-8).
bool needsUnicodeEscape(const QString& text, qsizetype i)
{
    const char16_t c = text.at(i).unicode();
    if (c < 0x20 || c == 0x7F || c == 0x2028 || c == 0x2029)
        return true;
    if (QChar::isHighSurrogate(c))
        return i + 1 >= text.size() || !QChar::isLowSurrogate(text.at(i + 1).unicode());
    if (QChar::isLowSurrogate(c))
        return i == 0 || !QChar::isHighSurrogate(text.at(i - 1).unicode());
    return false;
}

QString escape(const QString& text, char16_t quote)
{
    QString out;
    out.reserve(text.size() + text.size() / 8 + 16);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text.at(i).unicode();
        if (c == u'\\') {
            out += QStringLiteral("\\\\");
        } else if (c == quote) {
            out += QLatin1Char('\\');
            out += QChar(c);
        } else if (c == u'$' && quote == u'`') {
            // "\$" is a plain dollar in a template literal; escaping every one is
            // simpler than looking ahead for "{" and just as exact.
            out += QStringLiteral("\\$");
        } else if (c == u'\n') {
            out += QStringLiteral("\\n");
        } else if (c == u'\r') {
            out += QStringLiteral("\\r");
        } else if (c == u'\t') {
            out += QStringLiteral("\\t");
        } else if (needsUnicodeEscape(text, i)) {
            appendUnicodeEscape(out, c);
        } else {
            out += QChar(c);
        }
    }
    return out;
}

}  // namespace

QString escapeForTemplateLiteral(const QString& text) { return escape(text, u'`'); }

QString escapeForSingleQuoted(const QString& text) { return escape(text, u'\''); }

QString setMarkdown(const QString& text, quint64 generation)
{
    return QStringLiteral("window.setMarkdown?.(`") + escapeForTemplateLiteral(text)
        + QStringLiteral("`, %1);").arg(generation);
}

QString mergeMarkdown(const std::vector<TextMerge::Edit>& edits, quint64 generation, quint64 report)
{
    QString list;
    for (const TextMerge::Edit& e : edits) {
        if (!list.isEmpty())
            list += QLatin1Char(',');
        list += QStringLiteral("[%1,%2,`").arg(e.from).arg(e.to) + escapeForTemplateLiteral(e.insert)
            + QStringLiteral("`]");
    }
    return QStringLiteral("window.mergeMarkdown?.([%1], %2, %3) ?? 'refused';").arg(list).arg(generation).arg(report);
}

QString appendBlock(const QString& markdown, std::optional<qsizetype> caret)
{
    if (!caret)
        return QStringLiteral("((m) => window.appendMarkdown?.(window.getMarkdown?.() ? '\\n\\n' + m : m))(`")
            + escapeForTemplateLiteral(markdown) + QStringLiteral("`);");
    // The caret counts from the start of what is appended, the blank line included.
    return QStringLiteral("((m, c) => { const s = window.getMarkdown?.() ? '\\n\\n' : ''; "
                          "window.appendMarkdown?.(s + m, s.length + c); })(`")
        + escapeForTemplateLiteral(markdown) + QStringLiteral("`, %1);").arg(*caret);
}

QString replaceAll(const QString& text)
{
    return QStringLiteral("window.replaceMarkdown?.(`") + escapeForTemplateLiteral(text) + QStringLiteral("`);");
}

QString revealRange(quint64 generation, qsizetype line, qsizetype column, qsizetype length)
{
    return QStringLiteral("window.revealRange?.(%1, %2, %3, %4);").arg(line).arg(column).arg(length).arg(generation);
}

QString invalidUrlError(const QString& link)
{
    return QStringLiteral("showLinkError('유효하지 않은 URL: ") + escapeForSingleQuoted(link) + QStringLiteral("');");
}

QString unsupportedLinkError() { return QStringLiteral("showLinkError('지원하지 않는 링크 형식입니다');"); }

QString showNotice(const QString& message)
{
    return QStringLiteral("window.showNotice?.('%1');").arg(escapeForSingleQuoted(message));
}

QString linkOpenFailedError() { return QStringLiteral("showLinkError('링크를 열 수 없습니다');"); }

}  // namespace flintly::ScriptText
