#pragma once

class QWidget;

// The preference panes that belong to the window layer itself. Each reads and writes the
// settings store through RTSettingsBinding; changes apply at once.
namespace RTPreferencePanes {
QWidget *createGeneralPane(QWidget *parent);
QWidget *createAppearancePane(QWidget *parent);
QWidget *createNotificationsPane(QWidget *parent);
QWidget *createSharingPane(QWidget *parent);
QWidget *createAdvancedPane(QWidget *parent);
} // namespace RTPreferencePanes
