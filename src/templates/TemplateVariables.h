#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <optional>

namespace flintly {

// What a template's variables stand for at the moment it is inserted.
struct TemplateContext {
    QDateTime now;      // local time
    QString title;      // the note's title
    QString clipboard;  // the clipboard's text, empty when it holds none
};

struct ExpandedTemplate {
    QString text;
    // Where {{cursor}} stood, in UTF-16 units of `text`; none without one.
    std::optional<qsizetype> caret;
};

// Replaces {{date}} (2024-05-31), {{time}} (14:05), {{datetime}} (2024-05-31 14:05),
// {{title}} and {{clipboard}}, and removes {{cursor}}, remembering where the first one
// stood (later ones are removed too). Spaces inside the braces are allowed. Anything
// else between double braces stays as it is written, and what a variable brings in is
// never read for variables again: a clipboard holding "{{date}}" is pasted as it is.
ExpandedTemplate expandTemplate(const QString& text, const TemplateContext& context);

// The variables, as a template writes them, for the panel to name.
QStringList templateVariables();

}  // namespace flintly
