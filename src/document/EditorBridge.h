#pragma once

#include <QString>

namespace flintly {

// What the note needs from the editor: adding a block at the end of the page without
// replacing the whole text (so the cursor and undo history survive). The blank line
// before the block is judged against the page's own text: what was typed last may not
// have reached the note yet.
class EditorBridge {
public:
    virtual ~EditorBridge() = default;
    virtual void appendBlock(const QString& markdown) = 0;
    // Selects a stretch of the text of `generation` and scrolls it into view, once the
    // page holds that text (it may still be on its way).
    virtual void revealRange(quint64 generation, qsizetype line, qsizetype column, qsizetype length)
    {
        (void)generation, (void)line, (void)column, (void)length;
    }
};

}  // namespace flintly
