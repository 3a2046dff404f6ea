#pragma once

#include <QAbstractListModel>
#include <QList>
#include <QPointer>
#include <QUrl>

namespace flintly {

class TemplatePanelViewModel;

// The panel's list as a Qt item model: one row per template of the view model's
// results, shown by its name without the extension.
class TemplateListModel : public QAbstractListModel {
    Q_OBJECT
public:
    enum Role { UrlRole = Qt::UserRole + 1 };

    explicit TemplateListModel(TemplatePanelViewModel& vm, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

    QUrl urlAt(int row) const;
    // -1 when the URL is not listed.
    int rowOf(const QUrl& url) const { return static_cast<int>(urls_.indexOf(url)); }

private:
    void resetTo(const QList<QUrl>& urls);

    QList<QUrl> urls_;
};

}  // namespace flintly
