#include "document/OutsideChange.h"

namespace flintly::OutsideChange {

namespace {
double secondsBetween(const QDateTime& from, const QDateTime& to) { return from.msecsTo(to) / 1000.0; }
}  // namespace

Decision decide(const Snapshot& s)
{
    Decision d;
    if (!s.hasFile)
        return d;
    if (s.isSaving) {
        d.verdict = Verdict::ownSaveInProgress;
        d.lookAgainAt = s.now.addMSecs(kSavingSettleMs);
        return d;
    }
    if (!s.fileExists) {
        d.verdict = Verdict::fileDeleted;
        return d;
    }
    d.secondsSinceSave = secondsBetween(s.lastSaveTime, s.now);
    if (d.secondsSinceSave < kSelfSaveWindowMs / 1000.0) {
        d.verdict = Verdict::ownSaveWindow;
        d.lookAgainAt = s.lastSaveTime.addMSecs(kSelfSaveWindowMs);
        return d;
    }
    d.secondsSinceEdit = secondsBetween(s.lastUserEditTime, s.now);
    if (d.secondsSinceEdit < kEditCoolDownMs / 1000.0) {
        d.verdict = Verdict::userTyping;
        d.lookAgainAt = s.lastUserEditTime.addMSecs(kEditCoolDownMs);
        return d;
    }
    d.verdict = Verdict::read;
    return d;
}

Outcome resolve(bool sameText, bool userTyping, bool unsavedEdits)
{
    if (sameText)
        return Outcome::same;
    if (userTyping)
        return Outcome::wait;
    return unsavedEdits ? Outcome::merge : Outcome::reload;
}

}  // namespace flintly::OutsideChange
