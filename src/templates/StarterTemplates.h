#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace flintly {

// The three templates a new user may ask for: a daily note, meeting notes and a
// checklist, using the template variables.
struct StarterTemplate {
    QString fileName;
    QString text;
};
QList<StarterTemplate> starterTemplates();

struct StarterTemplatesAdded {
    QStringList written;  // file names
    QStringList kept;     // a file of that name was there already and is left alone
    QString error;        // why the rest could not be written; empty when all went well
};

// Writes the starter templates into `folder` (made when missing). A file that exists
// already is never replaced, not even by one appearing while we write.
StarterTemplatesAdded addStarterTemplates(const QString& folder);

}  // namespace flintly
