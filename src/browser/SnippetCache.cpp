#include "browser/SnippetCache.h"

#include "platform/MainThread.h"
#include "search/NoteText.h"

namespace flintly {

SnippetCache::SnippetCache(Background background, QObject* parent) : QObject(parent), background_(std::move(background))
{}

void SnippetCache::setQuery(const search::SearchQuery& query)
{
    if (query.words == query_.words)
        return;
    query_ = query;
    ++generation_;
    read_.clear();
    pending_.clear();
}

std::optional<search::Snippet> SnippetCache::snippet(const QString& path)
{
    if (const auto it = read_.constFind(path); it != read_.cend())
        return *it;
    if (query_.isEmpty() || pending_.contains(path))
        return std::nullopt;
    pending_.insert(path);
    const std::weak_ptr<int> alive = alive_;
    background_([this, alive, path, query = query_, generation = generation_] {
        const std::optional<QString> text = search::readSearchableText(path);
        search::Snippet found = text ? search::findSnippet(*text, query) : search::Snippet{};
        runOnMainThread([this, alive, path, generation, found = std::move(found)] {
            if (!alive.lock() || generation != generation_)
                return;
            pending_.remove(path);
            read_.insert(path, found);
            emit snippetReady(path);
        });
    });
    return std::nullopt;
}

}  // namespace flintly
