// talvoctl settings: the settings store for scripts, read and written as the preferences
// window does. Only keys with a registered default can be set, in that default's type.
#include "CtlCommand.h"

#include "foundation/SettingsStore.h"
#include "foundation/SettingsValueText.h"

int cmdSettings(const QStringList &args, QTextStream &out, QTextStream &err)
{
    const char *usage = "usage: talvoctl settings [list|get KEY|set KEY VALUE|reset KEY]\n";
    const QString verb = args.value(0, QStringLiteral("list"));
    const int wanted = verb == QLatin1String("list")                                    ? 1
                       : verb == QLatin1String("get") || verb == QLatin1String("reset") ? 2
                       : verb == QLatin1String("set")                                   ? 3
                                                                                        : -1;
    if (wanted < 0 || (args.size() != wanted && !args.isEmpty())) {
        err << usage;
        return 2;
    }
    SettingsStore &settings = SettingsStore::shared();
    settings.registerShippedDefaults();
    const QVariantMap defaults = SettingsStore::shippedDefaults();
    if (verb == QLatin1String("list")) {
        for (auto it = defaults.cbegin(); it != defaults.cend(); ++it) {
            if (it.key().startsWith(QLatin1String("//")))
                continue;
            out << it.key() << "=" << SettingsValueText::format(settings.objectForKey(it.key()))
                << (settings.hasUserValue(it.key()) ? "" : "\t(default)") << "\n";
        }
        return 0;
    }
    const QString key = args.at(1);
    if (!defaults.contains(key) || key.startsWith(QLatin1String("//"))) {
        err << "talvoctl settings: no setting is called " << key
            << " (talvoctl settings list shows them all)\n";
        return 1;
    }
    if (verb == QLatin1String("get")) {
        out << SettingsValueText::format(settings.objectForKey(key)) << "\n";
        return 0;
    }
    if (verb == QLatin1String("reset")) {
        settings.removeObjectForKey(key);
        settings.synchronize();
        return 0;
    }
    QString error;
    const QVariant value =
        SettingsValueText::parseForKey(key, defaults.value(key), args.at(2), &error);
    if (!value.isValid()) {
        err << "talvoctl settings: " << key << ": " << error << "\n";
        return 1;
    }
    settings.setValue(key, value);
    settings.synchronize();
    return 0;
}
