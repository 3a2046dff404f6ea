#pragma once

#include <QList>
#include <QString>
#include <QUrl>

#include <optional>

namespace flintly {

// The templates of a folder are its Markdown files, nothing more: no index, no
// metadata, so whatever the user drops into the folder is a template.
namespace TemplateLibrary {

// Files directly inside `folder` whose extension is "md" in any case, hidden files left
// out, in the order the directory lists them. A folder that cannot be listed has none.
QList<QUrl> listTemplates(const QUrl& folder);

// The templates matching a (trimmed) query, by file name with its extension: all of
// them for an empty query, a case-insensitive prefix below three characters (a couple
// of letters match too much anywhere), containment from three on. Sorted by file name
// in code-point order, stably.
QList<QUrl> filterTemplates(const QList<QUrl>& templates, const QString& query);

// The template's text, or nothing (with the reason in `error`) when the file cannot be
// read or is not UTF-8: inserting mis-decoded bytes would put garbage into the note.
std::optional<QString> readTemplate(const QUrl& url, QString* error = nullptr);

}  // namespace TemplateLibrary
}  // namespace flintly
