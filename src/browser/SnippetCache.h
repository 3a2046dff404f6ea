#pragma once

#include "search/SearchQuery.h"
#include "search/Snippet.h"

#include <QHash>
#include <QObject>
#include <QSet>

#include <functional>
#include <memory>
#include <optional>

namespace flintly {

// The lines shown under the notes found by their text, read in the background as
// the list asks for them (only rows on screen are asked for) and kept until the query
// changes.
class SnippetCache : public QObject {
    Q_OBJECT
public:
    using Background = std::function<void(std::function<void()>)>;

    explicit SnippetCache(Background background, QObject* parent = nullptr);

    void setQuery(const search::SearchQuery& query);
    // The snippet of the note at `path` if read already; otherwise it is being read
    // and snippetReady follows.
    std::optional<search::Snippet> snippet(const QString& path);

signals:
    void snippetReady(const QString& path);

private:
    Background background_;
    search::SearchQuery query_;
    quint64 generation_ = 0;
    QHash<QString, search::Snippet> read_;
    QSet<QString> pending_;
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);
};

}  // namespace flintly
