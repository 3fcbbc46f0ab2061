#include "timelines/RTStatusBarMenuManager.h"

#include "foundation/Log.h"
#include "foundation/RTGlobalVariables.h"
#include "foundation/SettingsStore.h"
#include "platform/DesktopApplication.h"
#include "platform/WindowLayer.h"

#include <atomic>

namespace {
std::atomic<RTStatusBarMenuManager *> g_shared{nullptr};
}

RTStatusBarMenuManager::RTStatusBarMenuManager(QObject *parent)
    : QObject(parent)
{
    RTStatusBarMenuManager *expected = nullptr;
    g_shared.compare_exchange_strong(expected, this);
    connect(&SettingsStore::shared(), &SettingsStore::valueChanged, this,
            [this](const QString &key, const QVariant &value) {
                if (key == QLatin1String(TAHideMenuBarIconKey))
                    hideMenuBarIconChanged(value.toBool());
            });
}

RTStatusBarMenuManager::~RTStatusBarMenuManager()
{
    if (m_wanted && StatusItem::hasShared())
        StatusItem::shared().removeStatusItem();
    RTStatusBarMenuManager *expected = this;
    g_shared.compare_exchange_strong(expected, nullptr);
}

RTStatusBarMenuManager &RTStatusBarMenuManager::sharedManager()
{
    if (RTStatusBarMenuManager *shared = g_shared.load())
        return *shared;
    return *new RTStatusBarMenuManager();
}

void RTStatusBarMenuManager::addStatusItem()
{
    m_wanted = true;
    if (SettingsStore::shared().boolForKey(QLatin1String(TAHideMenuBarIconKey)) ||
        !StatusItem::hasShared())
        return;
    StatusItem::Handlers handlers;
    handlers.clicked = [this](StatusItem::Click click) {
        if (click == StatusItem::Click::Double)
            statusItemDoubleClicked();
        else
            statusItemClicked(click);
    };
    handlers.preferences = [this] { showPreferences(); };
    if (!StatusItem::shared().addStatusItem(handlers)) {
        qCInfo(lcTimelines) << "no system tray: the program runs without its tray icon";
        return;
    }
    applyIcon();
}

void RTStatusBarMenuManager::hideMenuBarIconChanged(bool hide)
{
    if (!m_wanted || !StatusItem::hasShared())
        return;
    if (hide)
        StatusItem::shared().removeStatusItem();
    else if (!StatusItem::shared().hasStatusItem())
        addStatusItem();
}

void RTStatusBarMenuManager::setNormalStatusItem()
{
    if (!m_newMessages)
        return;
    m_newMessages = false;
    m_count = 0;
    applyIcon();
}

void RTStatusBarMenuManager::setNewMessagesStatusItem(int count)
{
    if (m_newMessages && m_count == count)
        return;
    m_newMessages = true;
    m_count = count;
    applyIcon();
}

void RTStatusBarMenuManager::applyIcon()
{
    if (StatusItem::hasShared() && StatusItem::shared().hasStatusItem())
        StatusItem::shared().setNewMessages(m_newMessages, m_count);
}

void RTStatusBarMenuManager::statusItemClicked(StatusItem::Click click)
{
    // The desktop shows the item's menu itself on a secondary click.
    if (click != StatusItem::Click::Primary || !DesktopApplication::hasShared())
        return;
    DesktopApplication &desktop = DesktopApplication::shared();
    if (desktop.isActive()) {
        desktop.hide();
        return;
    }
    desktop.activateIgnoringOtherApps();
    if (WindowLayer::hasShared())
        WindowLayer::shared().showCurrentMainWindow();
}

void RTStatusBarMenuManager::statusItemDoubleClicked()
{
    // The first click of the pair already toggled; a double click always ends shown.
    if (!DesktopApplication::hasShared())
        return;
    DesktopApplication::shared().activateIgnoringOtherApps();
    if (WindowLayer::hasShared())
        WindowLayer::shared().showCurrentMainWindow();
}

void RTStatusBarMenuManager::showPreferences()
{
    if (DesktopApplication::hasShared())
        DesktopApplication::shared().activateIgnoringOtherApps();
    emit showPreferencesRequested();
}
