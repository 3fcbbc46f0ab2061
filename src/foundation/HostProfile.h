#pragma once

#include <QHash>
#include <QString>
#include <QStringList>
#include <QUrl>

// A host profile names the base URL of every web service and, optionally, a CA bundle.
// Profiles are small INI files (resources/hosts/README.md lists the service names):
//
//   [profile]
//   name = sandbox
//   ca_bundle = ca.pem          ; relative to the profile's folder
//   poll_interval = 10          ; seconds; only for stand-ins that want quick polling
//   [services]
//   twitter-api = https://127.0.0.1:8443
//
// The installed profile is read from worker threads; installed profiles are kept for the
// life of the process, so a reference from current() never dangles.
class HostProfile
{
public:
    HostProfile() = default;

    // Loads an INI profile. On failure returns an empty profile and sets *error.
    static HostProfile load(const QString &path, QString *error);
    // The profile a user names: "real" (or nothing), a file, or a name looked up in
    // $XDG_CONFIG_HOME/Talvo/hosts/NAME.conf and $XDG_DATA_HOME/talvo-NAME/NAME.conf.
    // On failure returns an empty profile and sets *error.
    static HostProfile named(const QString &name, QString *error);
    // Parses profile text; relative CA bundle paths resolve against baseDir.
    static HostProfile parse(const QByteArray &text, const QString &baseDir, QString *error);

    // The profile a program started by talvo (the quick-post helper) inherits when it is
    // not given one.
    static constexpr const char *kInheritedVariable = "TALVO_HOST_PROFILE";

    // The installed profile; by default the real services (compiled in).
    static const HostProfile &current();
    static void setCurrent(const HostProfile &profile);
    // The compiled-in profile of the real services.
    static const HostProfile &real();

    [[nodiscard]] bool isEmpty() const { return m_urls.isEmpty(); }
    [[nodiscard]] QString name() const { return m_name; }
    [[nodiscard]] QString caBundle() const { return m_caBundle; }
    // How often accounts of this profile poll their busiest timelines, in seconds; 0 (the
    // real services) leaves the intervals the real service needs.
    [[nodiscard]] int pollInterval() const { return m_pollInterval; }
    void setPollInterval(int seconds) { m_pollInterval = seconds; }
    static constexpr int kMinPollInterval = 5;
    static constexpr int kMaxPollInterval = 3600;
    // Base URL of a service ("twitter-api", "companion", ...); an invalid QUrl when the
    // profile does not name it, so a missing entry never reaches a real host by accident.
    [[nodiscard]] QUrl baseUrl(const QString &service) const { return m_urls.value(service); }
    // Host name of a service's base URL, or empty.
    [[nodiscard]] QString host(const QString &service) const;
    [[nodiscard]] QStringList services() const;

    void setName(const QString &name) { m_name = name; }
    void setCaBundle(const QString &path) { m_caBundle = path; }
    void setBaseUrl(const QString &service, const QUrl &url) { m_urls.insert(service, url); }

    // INI text of this profile (what load() reads back).
    [[nodiscard]] QByteArray toIni() const;

private:
    QString m_name;
    QString m_caBundle;
    int m_pollInterval = 0;
    QHash<QString, QUrl> m_urls;
};
