#pragma once

#include "platform/StatusItem.h"

#include <QIcon>
#include <QObject>
#include <memory>

class QMenu;
class QSystemTrayIcon;

// The tray icon as a QSystemTrayIcon (a StatusNotifierItem on current desktops). Where
// no tray exists nothing is shown. Needs a QApplication.
class QtStatusItem : public QObject, public StatusItem
{
    Q_OBJECT
public:
    explicit QtStatusItem(QObject *parent = nullptr);
    ~QtStatusItem() override;

    bool addStatusItem(const Handlers &handlers) override;
    void removeStatusItem() override;
    [[nodiscard]] bool hasStatusItem() const override;
    void setNewMessages(bool newMessages, int count) override;

    // The two looks, drawn for the current palette.
    [[nodiscard]] static QIcon normalIcon();
    [[nodiscard]] static QIcon newMessagesIcon(int count);

private:
    Handlers m_handlers;
    std::unique_ptr<QMenu> m_menu;
    std::unique_ptr<QSystemTrayIcon> m_tray;
};
