#include "shell/settings_store.h"

#include <QSettings>

#include "shell/error_trap.h"

namespace gg {


QString ReadSetting(const QString& key, const QString& defaultValue)
{
    QSettings store(QSettings::NativeFormat, QSettings::UserScope, kSettingsApplication);
    store.beginGroup(kSettingsSection);
    const QVariant value = store.value(key);
    if (!value.isValid())
        return defaultValue;
    return value.toString();
}

void WriteSetting(const QString& key, const QString& value)
{
    QSettings store(QSettings::NativeFormat, QSettings::UserScope, kSettingsApplication);
    store.beginGroup(kSettingsSection);
    store.setValue(key, value);
    store.endGroup();
    store.sync();
    if (store.status() != QSettings::NoError)
        throw StepFailure("Could not write the setting \"" + key.toStdString() + "\"");
}

} // namespace gg
