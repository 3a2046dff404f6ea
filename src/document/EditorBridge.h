#pragma once

#include <QString>

namespace flintly {

// What the note needs from the editor: inserting a piece at the end of the page
// without replacing the whole text (so the cursor and undo history survive).
class EditorBridge {
public:
    virtual ~EditorBridge() = default;
    virtual void appendMarkdown(const QString& piece) = 0;
};

}  // namespace flintly
