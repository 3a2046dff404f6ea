#pragma once

#include <QString>

#include <optional>

namespace flintly {

class MarkdownModel;
namespace search {
struct SearchQuery;
}

// Search or create: a new note in the notes folder whose first line is `name`, named
// by the rules of every new note (its title, cut and cleaned, following the first line
// while the note is new), written at once and opened with the caret below the title.
// A note of that name already in the notes folder is opened instead. Returns the
// note's path, or nothing when it could not be written (logged).
std::optional<QString> createNoteNamed(MarkdownModel& model, const QString& name);

// Puts the editor's caret on the first place the query's words stand in the open
// note's text, if they do.
void revealQueryIn(MarkdownModel& model, const search::SearchQuery& query);

}  // namespace flintly
