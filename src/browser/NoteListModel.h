#pragma once

#include "browser/FileInfo.h"

#include <QAbstractListModel>
#include <QLocale>
#include <QPointer>

#include <optional>

namespace flintly {

class QuickOpenModel;

// The quick-open list as a Qt item model: while a scan runs, a progress row first,
// then one row per listed note, then "Create “query”" when no note has the query as
// its name. Rows are read on demand, so a hundred thousand notes cost the view only
// the rows it paints (and a note found by its text has its line read only then).
class NoteListModel : public QAbstractListModel {
    Q_OBJECT
public:
    enum Role {
        DetailRole = Qt::UserRole + 1,
        PathRole,
        IsProgressRole,
        FolderRole,    // the folder below the browsed one, "" at its top
        SnippetRole,   // a note found by its text: the matching line (empty until read)
        EmphasisRole,  // QList<QPoint>: (start, length) of each match in the snippet
        IsCreateRole,
    };

    explicit NoteListModel(QuickOpenModel* browser, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    bool hasProgressRow() const { return progressRow_; }
    bool isCreateRow(int row) const;
    std::optional<FileInfo> fileAt(int row) const;
    int rowOf(const QString& path) const;

private:
    int fileRows() const;

    QPointer<QuickOpenModel> browser_;
    bool progressRow_ = false;
};

// "Mar 4, 2024" in English: the locale's long date without the weekday, with the
// month abbreviated.
QString mediumDate(const QDate& date, const QLocale& locale = QLocale());
// Kilobytes or megabytes, as file sizes are shown: "3 KB", "1.2 MB".
QString byteCount(qint64 bytes, const QLocale& locale = QLocale());
// The second line of a note's row: modification date and size, joined by " • ".
QString noteDetail(const FileInfo& file, const QLocale& locale = QLocale());

}  // namespace flintly
