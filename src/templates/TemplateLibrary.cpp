#include "templates/TemplateLibrary.h"

#include "document/TextDecoding.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

namespace flintly::TemplateLibrary {

namespace {
constexpr qint64 kContainmentFromLength = 3;

QString fileName(const QUrl& url) { return QFileInfo(url.toLocalFile()).fileName(); }
}  // namespace

QList<QUrl> listTemplates(const QUrl& folder)
{
    if (folder.isEmpty())
        return {};
    // Files only: a folder named "Drafts.md" is not a template and could not be read.
    const QFileInfoList entries = QDir(folder.toLocalFile()).entryInfoList(QDir::Files, QDir::Unsorted);
    QList<QUrl> templates;
    for (const QFileInfo& entry : entries) {
        if (entry.suffix().toLower() == u"md")
            templates.append(QUrl::fromLocalFile(entry.absoluteFilePath()));
    }
    return templates;
}

QList<QUrl> filterTemplates(const QList<QUrl>& templates, const QString& query)
{
    struct Candidate {
        QList<uint> key;  // the file name as code points
        QUrl url;
    };
    std::vector<Candidate> candidates;
    const bool prefixOnly = graphemeCount(query) < kContainmentFromLength;
    const QString lowerQuery = query.toLower();
    for (const QUrl& url : templates) {
        const QString name = fileName(url);
        const bool matches = query.isEmpty() ? true
            : prefixOnly                     ? name.toLower().startsWith(lowerQuery)
                                             : name.contains(query, Qt::CaseInsensitive);
        if (matches)
            candidates.push_back({name.toUcs4(), url});
    }
    // Code points, not UTF-16 units: a name with a character beyond the BMP still sorts
    // after one with U+FFxx, as the characters themselves do.
    std::stable_sort(candidates.begin(), candidates.end(),
                     [](const Candidate& a, const Candidate& b) { return a.key < b.key; });
    QList<QUrl> sorted;
    sorted.reserve(static_cast<qsizetype>(candidates.size()));
    for (Candidate& c : candidates)
        sorted.append(std::move(c.url));
    return sorted;
}

std::optional<QString> readTemplate(const QUrl& url, QString* error)
{
    if (!url.isLocalFile()) {
        if (error)
            *error = url.toString() + QStringLiteral(": not a file");
        return std::nullopt;
    }
    return readUtf8File(url.toLocalFile(), error);
}

}  // namespace flintly::TemplateLibrary
