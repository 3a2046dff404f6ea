#pragma once

#include <QString>

#include <optional>

namespace flintly {

// What the note needs from the editor: changing the page's text as an edit, without
// handing it a whole new text (so the cursor and undo history survive). The blank line
// before an appended block is judged against the page's own text: what was typed last
// may not have reached the note yet. With `caret` (UTF-16 units into `markdown`) the
// page puts its caret there.
class EditorBridge {
public:
    virtual ~EditorBridge() = default;
    virtual void appendBlock(const QString& markdown, std::optional<qsizetype> caret) = 0;
    // Turns the page's text into `text` as one edit of the user's, which undo takes
    // back (an earlier version put back from the history).
    virtual void replaceAll(const QString& text) = 0;
    // Selects a stretch of the text of `generation` and scrolls it into view, once the
    // page holds that text (it may still be on its way).
    virtual void revealRange(quint64 generation, qsizetype line, qsizetype column, qsizetype length)
    {
        (void)generation, (void)line, (void)column, (void)length;
    }
};

}  // namespace flintly
