#pragma once

#include <QDateTime>
#include <QString>

namespace flintly {

// Where the note reports the moments an earlier text of it may be worth keeping: every
// save, and every time text the user did not type is about to replace what they have.
// What is kept, and for how long, is the receiver's business (the local history). Calls
// come from the GUI thread and must return at once: typing and saving never wait on
// them. Texts are passed by value; Qt shares them, so passing costs nothing.
class NoteVersionSink {
public:
    enum class Cause {
        outsideChange,  // another program's version is read or merged into the note
        restore,        // the user puts an earlier version back
    };

    struct Save {
        QString path;       // the file about to be written
        QString lastSaved;  // what the file held as far as the note knows; null for a new file
        QString text;       // what is being written
        bool byteOrderMark = false;
        bool firstSave = false;  // the note's file is being created
        QDateTime when;
    };

    struct Replacement {
        QString path;
        QString text;      // the note's text now, about to be replaced
        QString incoming;  // what replaces it
        bool byteOrderMark = false;
        Cause cause = Cause::outsideChange;
        QDateTime when;
    };

    virtual ~NoteVersionSink() = default;
    virtual void noteSaving(const Save& save) = 0;
    virtual void noteReplacing(const Replacement& replacement) = 0;
    // The note's file was moved by the app itself (a rename).
    virtual void noteMoved(const QString& from, const QString& to) = 0;
};

}  // namespace flintly
