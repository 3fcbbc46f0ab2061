#pragma once

#include <QObject>
#include <QReadWriteLock>
#include <QVariant>
#include <memory>

class QSettings;

// The per-user settings store. Values the user set live in an INI file under the XDG
// config folder ($XDG_CONFIG_HOME/Talvo/Talvo.conf), which the helper program reads too.
// Registered defaults (from the shipped defaultSettings resource) stay in memory and are
// never written back, so a later release can change a default the user never touched.
//
// Reads are safe from any thread; writes and change signals belong to the main thread.
class SettingsStore : public QObject
{
    Q_OBJECT

public:
    // The process-wide store, created on first use at the default location.
    static SettingsStore &shared();
    // Tests point the shared store at another file (or back to the default with "").
    static void resetShared(const QString &iniPath = QString());

    explicit SettingsStore(const QString &iniPath, QObject *parent = nullptr);
    ~SettingsStore() override;

    [[nodiscard]] static QString defaultPath();
    [[nodiscard]] QString filePath() const;

    // Registers defaults; later registrations override earlier ones key by key.
    void registerDefaults(const QVariantMap &defaults);
    // Loads the shipped defaults (resource :/talvo/defaultSettings.json) and registers them.
    void registerShippedDefaults();
    [[nodiscard]] static QVariantMap shippedDefaults();

    [[nodiscard]] QVariant objectForKey(const QString &key) const;
    [[nodiscard]] bool hasUserValue(const QString &key) const;
    [[nodiscard]] bool boolForKey(const QString &key) const;
    [[nodiscard]] qint64 integerForKey(const QString &key) const;
    [[nodiscard]] quint64 unsignedIntegerForKey(const QString &key) const;
    [[nodiscard]] double floatForKey(const QString &key) const;
    [[nodiscard]] QString stringForKey(const QString &key) const;
    [[nodiscard]] QVariantList arrayForKey(const QString &key) const;
    [[nodiscard]] QStringList stringArrayForKey(const QString &key) const;
    [[nodiscard]] QVariantMap dictionaryForKey(const QString &key) const;

    void setValue(const QString &key, const QVariant &value);
    void setBool(const QString &key, bool value) { setValue(key, value); }
    void setInteger(const QString &key, qint64 value) { setValue(key, value); }
    void setFloat(const QString &key, double value) { setValue(key, value); }
    void removeObjectForKey(const QString &key);

    // Writes pending changes to disk now (QSettings also does this on its own).
    void synchronize();

Q_SIGNALS:
    // Emitted on the main thread after the value a key reads as has changed.
    void valueChanged(const QString &key, const QVariant &value);

private:
    mutable QReadWriteLock m_lock;
    std::unique_ptr<QSettings> m_settings;
    QVariantMap m_defaults;
};
