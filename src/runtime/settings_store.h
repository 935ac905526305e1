#pragma once
// The per-user settings store: one application name and section, text values.

#include <QString>

namespace gg {

inline const QString kSettingsApplication = QStringLiteral("Vorlentis");
inline const QString kSettingsSection = QStringLiteral("Tessaly Glimmer Gatherer Suite");
inline const QString kKeyOutputDirectory = QStringLiteral("Output Directory");
inline const QString kKeyLastFolderDot = QStringLiteral("LastFolderDot");

// The stored text of the key, or defaultValue when it is absent. Nothing is cached.
QString readSetting(const QString& key, const QString& defaultValue);
// Stores the text at once; throws StepFailure when the store cannot be written.
void writeSetting(const QString& key, const QString& value);

// Makes the program's own file the only settings file it reads or writes: the toolkit's own
// (Qt's file dialog's memory) is kept nowhere. Called once, before any window.
void keepOnlyOwnSettingsFile();

} // namespace gg
