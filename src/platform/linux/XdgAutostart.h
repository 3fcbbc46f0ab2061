#pragma once

#include "platform/LoginItems.h"

#include <QStringList>

// Login items as XDG autostart entries: $XDG_CONFIG_HOME/autostart/<name>.desktop. An entry
// the user turned off (Hidden=true, or the GNOME switch set to false) counts as no item.
class XdgAutostart : public LoginItems
{
public:
    // folder: where the entries live; empty for the user's autostart folder.
    explicit XdgAutostart(const QString &folder = QString());

    [[nodiscard]] QString folder() const { return m_folder; }
    [[nodiscard]] QString entryPath(const QString &name) const;

    [[nodiscard]] std::optional<Item> findLoginItem(const QString &name) const override;
    bool addLoginItem(const QString &name, const Item &item) override;
    bool removeLoginItem(const QString &name) override;

    // The Exec line for a program and its arguments, quoted as desktop entries require,
    // and the program read back from such a line (empty when it is malformed).
    [[nodiscard]] static QString execLine(const QString &program, const QStringList &arguments);
    [[nodiscard]] static QString programOfExecLine(const QString &exec);

private:
    QString m_folder;
};
