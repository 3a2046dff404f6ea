#include "document/NoteText.h"

namespace flintly {

const QDateTime& NoteText::distantPast()
{
    static const QDateTime past(QDate(1, 1, 1), QTime(0, 0), Qt::UTC);
    return past;
}

bool NoteText::edit(const QString& text, const QDateTime& at)
{
    if (text == text_)
        return false;
    // The typing cool-down of the watcher counts from the last keystroke; the save
    // pipeline's own stamp comes only once typing pauses.
    markTyped(at);
    text_ = text;
    return true;
}

void NoteText::markTyped(const QDateTime& at)
{
    lastUserEditTime_ = at;
    changeFromUser_ = true;
}

void NoteText::supersede(const QString& heldText)
{
    // A handful is plenty: the page reports in order, and only ever on the last few.
    constexpr std::size_t kKept = 8;
    superseded_[generation_] = heldText;
    while (superseded_.size() > kKept)
        superseded_.erase(superseded_.begin());
    ++generation_;
}

bool NoteText::replace(const QString& text, bool opensNote)
{
    supersede(text_);
    if (opensNote) {
        noteGeneration_ = generation_;
        superseded_.clear();  // reports about the note left behind are dropped, not merged
    }
    changeFromUser_ = false;
    if (text == text_)
        return false;
    text_ = text;
    return true;
}

void NoteText::expectMerge(const QString& onto, TextMerge::Result& merged)
{
    // Set before the replacement: the editor picks the edits up as the generation moves.
    lastMerge_ = Merge{generation_ + 1, onto, std::move(merged.edits), merged.breaksConverted};
}

std::optional<TextMerge::Result> NoteText::mergeLateReport(const QString& report, quint64 baseGeneration)
{
    // The page reports in order: nothing more will come on generations before this one.
    superseded_.erase(superseded_.begin(), superseded_.lower_bound(baseGeneration));
    const auto it = superseded_.find(baseGeneration);
    if (it == superseded_.end())
        return std::nullopt;
    TextMerge::Result merged = TextMerge::merge(it->second, report, text_);
    if (!merged.clean)
        return std::nullopt;
    it->second = report;  // the page's next report on that generation grows from this one
    return merged;
}

}  // namespace flintly
