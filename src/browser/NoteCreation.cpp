#include "browser/NoteCreation.h"

#include "document/MarkdownModel.h"
#include "document/NoteNaming.h"
#include "platform/Log.h"
#include "search/Snippet.h"

#include <QFileInfo>

namespace flintly {

std::optional<QString> createNoteNamed(MarkdownModel& model, const QString& name)
{
    const QString folder = model.saveFolder().toLocalFile();
    if (folder.isEmpty())
        return std::nullopt;
    const QString existing = folder + QLatin1Char('/') + NoteNaming::baseNameOf(name) + QStringLiteral(".md");
    if (QFileInfo::exists(existing)) {
        model.open(QUrl::fromLocalFile(existing));
        return model.filePath() == QFileInfo(existing).absoluteFilePath() ? std::optional(existing) : std::nullopt;
    }
    model.newNote();
    model.setText(name + QLatin1Char('\n'));
    try {
        model.save();
    } catch (const std::exception& e) {
        log("❌ The note could not be created:", e.what());
        return std::nullopt;
    }
    model.revealInEditor(1, 0, 0);
    return model.filePath();
}

void revealQueryIn(MarkdownModel& model, const search::SearchQuery& query)
{
    const search::Snippet s = search::findSnippet(model.text(), query);
    if (s.isValid())
        model.revealInEditor(s.line, s.match.start, s.match.length);
}

}  // namespace flintly
