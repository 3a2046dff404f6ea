#pragma once

#include "document/TextMerge.h"

#include <QDateTime>
#include <QString>

#include <map>
#include <optional>
#include <vector>

namespace flintly {

// The note's text, the single source of truth the editor mirrors, and what its edits
// need to be told apart: generations (each replacement of the text that did not come
// from the editor is a new one), the texts recent generations replaced (the base for
// typing the page did on them), the latest merge, and when and whether the user typed.
class NoteText {
public:
    // A replacement of the text that merged other changes into a text the editor had:
    // the page can be given `edits` (which turn `onto` into the note's text) instead of
    // the whole text, so its cursor, selection and undo history stay. Empty `edits`
    // with a `whole` merge: the line breaks changed, the page needs the whole text.
    struct Merge {
        quint64 generation = 0;
        QString onto;
        std::vector<TextMerge::Edit> edits;
        bool whole = false;
    };

    // The time of an edit that never happened (and of a save that never did).
    static const QDateTime& distantPast();

    NoteText() : lastUserEditTime_(distantPast()) {}

    const QString& text() const { return text_; }
    quint64 generation() const { return generation_; }
    // The generation at which the open note was opened or started: reports made before
    // it were about another note.
    quint64 noteGeneration() const { return noteGeneration_; }
    // The latest merge; it describes the current text while its generation is current.
    const std::optional<Merge>& lastMerge() const { return lastMerge_; }
    QDateTime lastUserEditTime() const { return lastUserEditTime_; }
    // Whether the text the save pipeline will see was typed.
    bool changeFromUser() const { return changeFromUser_; }

    // The user's edit; false when it changes nothing.
    bool edit(const QString& text, const QDateTime& at);
    // Starts a new generation, remembering the text it replaces.
    void supersede(const QString& heldText);
    // A replacement the user did not type; `opensNote` drops what was kept of the note
    // left behind. False when the text stays as it was.
    bool replace(const QString& text, bool opensNote);
    // The merge the next replacement will take in.
    void expectMerge(const QString& onto, TextMerge::Result& merged);
    // Typing the page did on `baseGeneration`, since replaced, merged into the current
    // text; nothing when that generation is forgotten or the two cannot be merged.
    std::optional<TextMerge::Result> mergeLateReport(const QString& report, quint64 baseGeneration);
    void markTyped(const QDateTime& at);
    void setLastUserEditTime(const QDateTime& at) { lastUserEditTime_ = at; }

private:
    QString text_;
    QDateTime lastUserEditTime_;
    bool changeFromUser_ = false;
    quint64 generation_ = 0;
    quint64 noteGeneration_ = 0;
    // The text the note held when each recent generation was replaced: a report the page
    // made on that generation grew from it, so it is the base for merging the report in.
    std::map<quint64, QString> superseded_;
    std::optional<Merge> lastMerge_;
};

}  // namespace flintly
