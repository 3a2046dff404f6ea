#include "browser/NoteListModel.h"

#include "browser/QuickOpenModel.h"
#include "document/TextDecoding.h"
#include "search/Snippet.h"

#include <QPoint>

#include <QRegularExpression>

namespace flintly {

NoteListModel::NoteListModel(QuickOpenModel* browser, QObject* parent) : QAbstractListModel(parent), browser_(browser)
{
    progressRow_ = browser_ && browser_->isScanning();
    connect(browser_, &QuickOpenModel::listChanged, this, [this] {
        beginResetModel();
        progressRow_ = browser_ && browser_->isScanning();
        endResetModel();
    });
    connect(browser_, &QuickOpenModel::snippetReady, this, [this](const QString& path) {
        const int row = rowOf(path);
        if (row >= 0)
            emit dataChanged(index(row), index(row), {SnippetRole, EmphasisRole});
    });
}

int NoteListModel::fileRows() const { return static_cast<int>(browser_->rowCount()); }

bool NoteListModel::isCreateRow(int row) const { return browser_ && browser_->hasCreateRow() && row == rowCount() - 1; }

int NoteListModel::rowCount(const QModelIndex& parent) const
{
    if (parent.isValid() || !browser_)
        return 0;
    return fileRows() + (progressRow_ ? 1 : 0) + (browser_->hasCreateRow() ? 1 : 0);
}

std::optional<FileInfo> NoteListModel::fileAt(int row) const
{
    const int r = row - (progressRow_ ? 1 : 0);
    if (!browser_ || r < 0 || static_cast<std::size_t>(r) >= browser_->rowCount())
        return std::nullopt;
    return browser_->fileAt(static_cast<std::size_t>(r));
}

int NoteListModel::rowOf(const QString& path) const
{
    if (!browser_)
        return -1;
    const int r = browser_->rowOf(path);
    return r < 0 ? -1 : r + (progressRow_ ? 1 : 0);
}

QVariant NoteListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || !browser_)
        return {};
    const bool progress = progressRow_ && index.row() == 0;
    if (role == IsProgressRole)
        return progress;
    if (progress)
        return role == Qt::DisplayRole ? QVariant(QStringLiteral("Scanning files...")) : QVariant();
    if (isCreateRow(index.row())) {
        if (role == IsCreateRole)
            return true;
        return role == Qt::DisplayRole || role == Qt::AccessibleTextRole ? QVariant(browser_->createRowText())
                                                                         : QVariant();
    }
    const int r = index.row() - (progressRow_ ? 1 : 0);
    if (r < 0 || static_cast<std::size_t>(r) >= browser_->rowCount())
        return {};
    const FileInfo& f = browser_->fileAt(static_cast<std::size_t>(r));
    switch (role) {
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole: return f.name;
    case DetailRole:
        // A name that was not UTF-8 reached us with replacement characters and leads
        // nowhere: the row says so rather than offering a note that will not open.
        if (f.path.contains(QChar::ReplacementCharacter))
            if (const auto problem = notePathProblem(f.path))
                return QStringLiteral("Cannot open: %1").arg(*problem);
        return noteDetail(f);
    case PathRole:
    case Qt::ToolTipRole: return f.path;
    case FolderRole: return browser_->folderOf(f);
    case SnippetRole:
    case EmphasisRole: {
        const auto snippet = browser_->snippetAt(static_cast<std::size_t>(r));
        if (!snippet)
            return {};
        if (role == SnippetRole)
            return snippet->text;
        QList<QPoint> ranges;
        for (const auto& e : snippet->emphasis)
            ranges.append(QPoint(static_cast<int>(e.start), static_cast<int>(e.length)));
        return QVariant::fromValue(ranges);
    }
    case IsCreateRole: return false;
    default: return {};
    }
}

Qt::ItemFlags NoteListModel::flags(const QModelIndex& index) const
{
    if (progressRow_ && index.row() == 0)
        return Qt::ItemIsEnabled;
    return QAbstractListModel::flags(index);
}

QString mediumDate(const QDate& date, const QLocale& locale)
{
    static const QRegularExpression weekday(QStringLiteral("\\s*d{4}[,.]?\\s*"));
    QString format = locale.dateFormat(QLocale::LongFormat);
    format.replace(weekday, QStringLiteral(" "));
    format.replace(QStringLiteral("MMMM"), QStringLiteral("MMM"));
    return locale.toString(date, format.trimmed());
}

QString byteCount(qint64 bytes, const QLocale& locale)
{
    // Decimal units, as file managers count; a small file is never "0 KB".
    const qint64 kb = bytes == 0 ? 0 : std::max<qint64>(1, (bytes + 500) / 1000);
    if (kb < 1000)
        return locale.toString(kb) + QStringLiteral(" KB");
    return locale.toString(static_cast<double>(bytes) / 1e6, 'f', 1) + QStringLiteral(" MB");
}

QString noteDetail(const FileInfo& file, const QLocale& locale)
{
    return mediumDate(file.modifiedDate.toLocalTime().date(), locale) + QStringLiteral(" • ")
        + byteCount(file.size, locale);
}

}  // namespace flintly
