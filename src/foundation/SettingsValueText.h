#pragma once

#include <QString>
#include <QVariant>

// Settings values as text, for scripts (`talvoctl settings`): a value is read in the type
// of the key's registered default, so "13" stays a number for a float key and "yes" a
// BOOL for a switch.
class SettingsValueText
{
public:
    // The value of text in the type of like; an invalid QVariant and *error when text
    // does not fit that type.
    [[nodiscard]] static QVariant parse(const QVariant &like, const QString &text, QString *error);
    // The same for a key: the float settings take decimals and the unsigned ones refuse a
    // sign, whatever their default looks like (the defaults file cannot tell 12.0 from 12,
    // nor 0 from an unsigned 0).
    [[nodiscard]] static QVariant parseForKey(const QString &key, const QVariant &like,
                                              const QString &text, QString *error);
    // BOOLs as true/false, numbers as numbers, lists and maps as compact JSON.
    [[nodiscard]] static QString format(const QVariant &value);
};
