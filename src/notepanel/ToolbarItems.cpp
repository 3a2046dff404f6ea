#include "notepanel/ToolbarItems.h"

namespace flintly::ToolbarItems {

QStringList defaultItemIdentifiers() { return {kFlexibleSpace, kFileTitle, kFlexibleSpace, kOpenFile, kNewFile}; }

QStringList allowedItemIdentifiers() { return {kFlexibleSpace, kFileTitle, kOpenFile, kNewFile}; }

}  // namespace flintly::ToolbarItems
