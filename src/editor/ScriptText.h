#pragma once

#include "document/TextMerge.h"

#include <QString>

#include <optional>
#include <vector>

namespace flintly::ScriptText {

// Note text travels into the page inside JavaScript source, so it must never be able
// to end the literal it sits in or be read as code. Everything a template literal
// would interpret is escaped ("\", "`", "${"), and so is everything the JavaScript
// source reader would change on the way: CR and CRLF become LF inside a template
// literal, U+2028/U+2029 are line terminators, and control characters and lone
// surrogates do not survive the UTF-8 trip to the engine unescaped.
QString escapeForTemplateLiteral(const QString& text);

// The same guarantees for a single-quoted string literal (the link in an error message).
QString escapeForSingleQuoted(const QString& text);

// The page reports its edits against `generation`, so that a report it made before
// this text arrived is recognised as such.
QString setMarkdown(const QString& text, quint64 generation);
// Edits merged onto the page's text report `report`; the script's value is the page's
// answer ("merged", "stale" or "refused"; "refused" too from a page without merges).
QString mergeMarkdown(const std::vector<TextMerge::Edit>& edits, quint64 generation, quint64 report);
// After a blank line, or as the whole text of an empty page; with `caret`, the page's
// caret goes to that place in the block. A page that takes one argument only ignores
// the second and appends all the same.
QString appendBlock(const QString& markdown, std::optional<qsizetype> caret = std::nullopt);
// The whole text, as one edit the user can undo (the page keeps its generation).
QString replaceAll(const QString& text);

// Selects `length` units from `column` of line `line` (zero-based) of the text of
// `generation` and scrolls there; a page that does not hold that text yet waits for it.
QString revealRange(quint64 generation, qsizetype line, qsizetype column, qsizetype length);

QString invalidUrlError(const QString& link);
QString unsupportedLinkError();
QString linkOpenFailedError();
// A short notice about the note itself (a conflict copy kept, saving failing).
QString showNotice(const QString& message);

}  // namespace flintly::ScriptText
