#include "templates/TemplateListModel.h"

#include "templates/TemplatePanelViewModel.h"

#include <QFileInfo>

namespace flintly {

TemplateListModel::TemplateListModel(TemplatePanelViewModel& vm, QObject* parent) : QAbstractListModel(parent)
{
    urls_ = vm.results();
    connect(&vm, &TemplatePanelViewModel::resultsChanged, this, &TemplateListModel::resetTo);
}

void TemplateListModel::resetTo(const QList<QUrl>& urls)
{
    beginResetModel();
    urls_ = urls;
    endResetModel();
}

int TemplateListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(urls_.size());
}

QVariant TemplateListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= urls_.size())
        return {};
    const QUrl& url = urls_.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
        // "Weekly.review.md" is "Weekly.review": only the last extension goes.
        return QFileInfo(url.toLocalFile()).completeBaseName();
    case Qt::ToolTipRole: return QFileInfo(url.toLocalFile()).fileName();
    case UrlRole: return url;
    default: return {};
    }
}

QUrl TemplateListModel::urlAt(int row) const { return row >= 0 && row < urls_.size() ? urls_.at(row) : QUrl(); }

}  // namespace flintly
