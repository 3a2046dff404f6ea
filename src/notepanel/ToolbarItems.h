#pragma once

#include <QString>
#include <QStringList>

namespace flintly::ToolbarItems {

inline const QString kFlexibleSpace = QStringLiteral("NSToolbarFlexibleSpaceItem");
inline const QString kFileTitle = QStringLiteral("flintly.fileTitle");
inline const QString kOpenFile = QStringLiteral("flintly.openFile");
inline const QString kNewFile = QStringLiteral("flintly.newFile");
inline const QString kToolbarIdentifier = QStringLiteral("NoteToolbar");

// The toolbar's layout, left to right; the title is centred between flexible spaces.
QStringList defaultItemIdentifiers();
QStringList allowedItemIdentifiers();

}  // namespace flintly::ToolbarItems
