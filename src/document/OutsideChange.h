#pragma once

#include <QDateTime>

#include <optional>

namespace flintly::OutsideChange {

inline constexpr int kSelfSaveWindowMs = 500;  // events this soon after our write are its echo
inline constexpr int kEditCoolDownMs = 800;    // no reload this soon after a keystroke
inline constexpr int kSavingSettleMs = 150;    // the saving flag drops 100 ms after a write

// What the model knows, on the GUI thread, when its file is reported changed.
struct Snapshot {
    bool hasFile = false;
    bool isSaving = false;
    bool fileExists = false;
    QDateTime lastSaveTime, lastUserEditTime, now;
};

enum class Verdict { noFile, ownSaveInProgress, fileDeleted, ownSaveWindow, userTyping, read };

struct Decision {
    Verdict verdict = Verdict::noFile;
    double secondsSinceSave = 0, secondsSinceEdit = 0;
    // Set when the change is refused only for now: our own write may hide someone
    // else's, and a change refused while the user types must not be dropped.
    std::optional<QDateTime> lookAgainAt;
};

// Whether a reported change is ours, too close to typing, or to be read.
Decision decide(const Snapshot& s);

// What to do with the text read from the file.
enum class Outcome {
    same,    // the file holds the note's text: nothing to do
    wait,    // the user typed a moment ago: look again once the cool-down has passed
    merge,   // edits not yet written: the file's changes are merged into the user's text
    reload,  // nothing of the user's is at stake: the file's text replaces the note's
};
Outcome resolve(bool sameText, bool userTyping, bool unsavedEdits);

}  // namespace flintly::OutsideChange
