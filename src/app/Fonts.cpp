#include "app/Fonts.h"

#include <QDir>
#include <QFontDatabase>

namespace flintly {

int loadBundledFonts(const QString& fontsDir)
{
    int loaded = 0;
    const QDir dir(fontsDir);
    for (const QString& file : dir.entryList({QStringLiteral("*.otf"), QStringLiteral("*.ttf")}, QDir::Files))
        if (QFontDatabase::addApplicationFont(dir.filePath(file)) >= 0)
            ++loaded;
    return loaded;
}

}  // namespace flintly
