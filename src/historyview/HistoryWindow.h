#pragma once

#include "history/HistoryStore.h"

#include <QWidget>

#include <optional>

class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace flintly {

class MarkdownModel;

namespace history {
class NoteHistory;
}

// "Flintly History": the earlier versions of the open note (when, how big, why they were
// kept), the notes whose files are gone, and the recovery files; the selected one is
// shown, and can be put back. A version of the open note goes back into it as an edit
// the user can undo, after the text it replaces was kept as a version; anything else
// comes back as a new note, so nothing that is open now is replaced by it.
class HistoryWindow : public QWidget {
    Q_OBJECT
public:
    struct Dependencies {
        history::NoteHistory* history = nullptr;  // required
        MarkdownModel* model = nullptr;           // required
        QString recoveryFolder;                   // empty: the app's recovery folder
    };

    static QString title() { return QStringLiteral("Flintly History"); }

    explicit HistoryWindow(Dependencies deps, QWidget* parent = nullptr);
    ~HistoryWindow() override;

    // Lists everything again, for the note open now. Showing the window does this.
    void refresh();

    QTreeWidget* entries() const { return tree_; }
    QPlainTextEdit* preview() const { return preview_; }
    QPushButton* restoreButton() const { return restoreButton_; }

signals:
    // The lists of a refresh are all in.
    void listed();
    // The selected entry's text is in the preview.
    void previewed();

protected:
    void showEvent(QShowEvent* event) override;

private:
    enum class Kind { version, goneVersion, recovery, goneNote };

    struct Selected {
        Kind kind;
        qint64 id = 0;
        QString path;  // the note's file, or the recovery file
    };

    void buildLayout();
    void listNote(const QString& path, quint64 serial);
    void listGoneNotes(quint64 serial);
    void listRecoveryFiles();
    void expandGoneNote(QTreeWidgetItem* item);
    void addVersionRows(QTreeWidgetItem* parent, const std::vector<history::VersionInfo>& versions, Kind kind,
                        const QString& path);
    void partListed();
    std::optional<Selected> selected() const;
    void showSelected();
    void showText(const std::optional<QString>& text);
    void restoreSelected();

    Dependencies deps_;
    QLabel* heading_ = nullptr;
    QTreeWidget* tree_ = nullptr;
    QTreeWidgetItem* noteGroup_ = nullptr;
    QTreeWidgetItem* goneGroup_ = nullptr;
    QTreeWidgetItem* recoveryGroup_ = nullptr;
    QPlainTextEdit* preview_ = nullptr;
    QPushButton* restoreButton_ = nullptr;
    std::optional<QString> shownText_;  // the selected entry's text, once it is in
    // Answers for an older listing or selection are dropped.
    quint64 serial_ = 0;
    quint64 previewSerial_ = 0;
    int partsPending_ = 0;
};

}  // namespace flintly
