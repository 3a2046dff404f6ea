#pragma once

#include <QString>

#include <optional>

namespace flintly {

// What the note needs from the editor: adding a block at the end of the page without
// replacing the whole text (so the cursor and undo history survive). The blank line
// before the block is judged against the page's own text: what was typed last may not
// have reached the note yet. With `caret` (UTF-16 units into `markdown`) the page puts
// its caret there.
class EditorBridge {
public:
    virtual ~EditorBridge() = default;
    virtual void appendBlock(const QString& markdown, std::optional<qsizetype> caret) = 0;
};

}  // namespace flintly
