#pragma once

#include <QString>

namespace flintly {

class MarkdownModel;
class SettingsStore;

inline const QString kQuickGuideFileName = QStringLiteral("Quick_Guide_for_Flintly.md");

// Puts the bundled quick guide into the notes folder once and opens it. A guide file
// the user has edited is theirs: it is kept and nothing is placed.
void placeQuickGuide(MarkdownModel& model, SettingsStore& settings, const QString& notesFolder,
                     const QString& bundledGuidePath);

}  // namespace flintly
