#include "templates/StarterTemplates.h"

#include <QDir>
#include <QFile>

namespace flintly {

QList<StarterTemplate> starterTemplates()
{
    return {
        {QStringLiteral("Daily Note.md"),
         QStringLiteral("# {{date}}\n"
                        "\n"
                        "## Today\n"
                        "- [ ] {{cursor}}\n"
                        "\n"
                        "## Notes\n"
                        "\n"
                        "## Done\n")},
        {QStringLiteral("Meeting Notes.md"),
         QStringLiteral("## Meeting: {{title}}\n"
                        "{{datetime}}\n"
                        "\n"
                        "**Attendees:** {{cursor}}\n"
                        "\n"
                        "### Agenda\n"
                        "1. \n"
                        "\n"
                        "### Decisions\n"
                        "- \n"
                        "\n"
                        "### Action items\n"
                        "- [ ] \n")},
        {QStringLiteral("Checklist.md"),
         QStringLiteral("## Checklist\n"
                        "- [ ] {{cursor}}\n"
                        "- [ ] \n"
                        "- [ ] \n")},
    };
}

StarterTemplatesAdded addStarterTemplates(const QString& folder)
{
    StarterTemplatesAdded added;
    if (!QDir().mkpath(folder)) {
        added.error = folder + QStringLiteral(": the folder cannot be made");
        return added;
    }
    for (const StarterTemplate& t : starterTemplates()) {
        QFile file(QDir(folder).filePath(t.fileName));
        // NewOnly is O_EXCL: the check and the creation are one step, so a file that
        // appears in between is not overwritten either.
        if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
            if (file.exists()) {
                added.kept << t.fileName;
                continue;
            }
            added.error = file.fileName() + QStringLiteral(": ") + file.errorString();
            break;
        }
        const QByteArray bytes = t.text.toUtf8();
        if (file.write(bytes) != bytes.size() || !file.flush()) {
            added.error = file.fileName() + QStringLiteral(": ") + file.errorString();
            file.close();
            file.remove();  // a half-written template would be inserted as it is
            break;
        }
        added.written << t.fileName;
    }
    return added;
}

}  // namespace flintly
