#include "runtime/settings_store.h"

#include <QSettings>
#include <QStandardPaths>

#include "runtime/error_trap.h"

namespace gg {

namespace {

// The user's own file, named: $XDG_CONFIG_HOME/Vorlentis.conf, the file the per-user native store
// uses on Linux. Opened by name, it is read alone: the per-user store would fill a missing key from
// the system-wide files (/etc/xdg and every folder of XDG_CONFIG_DIRS), so a file of the system's
// could choose the user's output folder. Naming it also keeps it apart from the native format's
// files, which keepOnlyOwnSettingsFile sends away.
QString userFile()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + u'/'
           + kSettingsApplication + QStringLiteral(".conf");
}

} // namespace

QString readSetting(const QString& key, const QString& defaultValue)
{
    QSettings store(userFile(), QSettings::IniFormat);
    store.beginGroup(kSettingsSection);
    const QVariant value = store.value(key);
    if (!value.isValid())
        return defaultValue;
    return value.toString();
}

void writeSetting(const QString& key, const QString& value)
{
    QSettings store(userFile(), QSettings::IniFormat);
    store.beginGroup(kSettingsSection);
    store.setValue(key, value);
    store.endGroup();
    store.sync();
    if (store.status() != QSettings::NoError)
        throw StepFailure("Could not write the setting \"" + key.toStdString() + "\"");
}

void keepOnlyOwnSettingsFile()
{
    // Qt's file dialog keeps its last folder, history and layout in the toolkit's shared
    // "QtProject.conf", in the native format, and reads them back to open where the last dialog
    // of any Qt program was; Qt has no switch for it. A folder path below a device file can be
    // neither read nor created, so those files are neither read nor written.
    for (const QSettings::Scope scope : {QSettings::UserScope, QSettings::SystemScope})
        QSettings::setPath(QSettings::NativeFormat, scope, QStringLiteral("/dev/null"));
}

} // namespace gg
