#include "../twitter/MappingTestSupport.h"
#include "support/TestSupport.h"

#include "accounts/RTServiceRegistry.h"
#include "foundation/RTGlobalVariables.h"
#include "foundation/SettingsStore.h"
#include "model/RTMessageFlags.h"
#include "model/RTUserTwitter.h"
#include "platform/fake/FakeDesktopAlerts.h"
#include "platform/fake/FakePlatform.h"
#include "timelines/RTPopupDelegate.h"
#include "timelines/RTReceivedMessageAlerts.h"
#include "timelines/RTSoundAlertManager.h"
#include "timelines/RTStatusBarMenuManager.h"
#include "timelines/RTTreeNodeManager.h"
#include "timelines/RTUnseenCountIndicators.h"
#include "twitter/RTTwitterRequestTypes.h"

#include <QCoreApplication>
#include <vector>

using namespace RTTemporaryFlag;

namespace {

QString key(const char *name)
{
    return QString::fromLatin1(name);
}

// An account whose requests are recorded instead of sent.
class QuietTwitter : public RTServiceTwitter
{
protected:
    RTRequestOperationPtr queueRequest(qint32, RTRequestDelegatePtr, const QVariantMap &,
                                       const QVariantMap &, int) override
    {
        return nullptr;
    }
    void performAfterDelay(double, std::function<void()>) override {}
};

class AlertsTest : public MappingTestBase
{
protected:
    void SetUp() override
    {
        MappingTestBase::SetUp();
        SettingsStore::shared().registerShippedDefaults();
        for (const char *k :
             {RTEnablePopupsKey, RTOnlyShowPopupsWhenOnBackgroundKey, TATrackIsNewKey,
              TAShowNewCountInDockKey, RTColorizeMenuBarIconWithNewMessagesKey,
              RTIncludeHomeInDockCountKey, RTIncludeMentionsAndDMsInDockCountKey,
              RTIncludeListsInDockCountKey, RTIncludeSearchesInDockCountKey,
              RTIncludeHomeInStatusIconCountKey, RTIncludeMentionsAndDMsInStatusIconCountKey,
              RTIncludeListsInStatusIconCountKey, RTIncludeSearchesInStatusIconCountKey,
              TAHideMenuBarIconKey, kRTTwitterSoundPrefsNewTweet, kRTTwitterSoundPrefsNewMention,
              kRTTwitterSoundPrefsNewDM, kRTTwitterSoundPrefsNewPost})
            SettingsStore::shared().removeObjectForKey(key(k));
        statusBar = std::make_unique<RTStatusBarMenuManager>();
        sounds = std::make_unique<RTSoundAlertManager>();
    }
    void TearDown() override
    {
        delegate.reset();
        manager.reset();
        registry.setServices({});
        sounds.reset();
        statusBar.reset();
        MappingTestBase::TearDown();
    }

    std::shared_ptr<QuietTwitter> addAccount(const QString &name)
    {
        auto account = std::make_shared<QuietTwitter>();
        account->setServiceId(name);
        account->setIsNewlyAdded(false);
        auto myself = RTUserTwitter::create(QStringLiteral("1"));
        myself->setScreenName(name);
        account->setMyself(myself);
        accounts.append(account.get());
        RTServiceList services = registry.services();
        services.append(account);
        registry.setServices(services);
        return account;
    }

    void startManager()
    {
        manager = std::make_unique<RTTreeNodeManager>(registry);
        delegate = std::make_unique<RTPopupDelegate>(*manager);
    }

    // A message of account with the given flags, written by user "u<id>".
    RTMessageTwitterPtr message(RTServiceTwitter &account, const QString &id, quint32 temporary,
                                quint32 permanent = 0)
    {
        auto m = RTMessageTwitter::create(id);
        m->setCreatedAt(clock.now());
        m->setTemporaryFlags(temporary);
        m->setPermanentFlags(permanent);
        m->setService(&account);
        m->setBody(QStringLiteral("text ") + id);
        auto user = RTUserTwitter::create(QStringLiteral("9") + id);
        user->setScreenName(QStringLiteral("u") + id);
        m->setUser(user);
        auto dict = account.messagesDictionary();
        dict.insert(id, m);
        account.setMessagesDictionary(dict);
        return m;
    }

    void add(const QList<RTMessageTwitterPtr> &messages, int type = 0)
    {
        QList<RTMessagePtr> list(messages.begin(), messages.end());
        manager->allTreeNodesAddMessages(list, type, {});
        QCoreApplication::processEvents();
    }

    static void set(const char *k, const QVariant &value)
    {
        SettingsStore::shared().setValue(key(k), value);
        QCoreApplication::processEvents();
    }

    FakePlatform platform;
    FakeDesktopAlerts desktop;
    RTServiceRegistry registry;
    std::unique_ptr<RTStatusBarMenuManager> statusBar;
    std::unique_ptr<RTSoundAlertManager> sounds;
    std::unique_ptr<RTTreeNodeManager> manager;
    std::unique_ptr<RTPopupDelegate> delegate;
};

// --- sounds ------------------------------------------------------------------------------

TEST_F(AlertsTest, RateLimitedTypesSoundAtMostOncePerTwoMinutesAndEmptyNamesNever)
{
    struct Step
    {
        qint64 advanceSeconds;
        const char *type;
        const char *sound;
        bool rateLimited;
        int queued; // queue length afterwards
    };
    const std::vector<Step> steps = {
        {0, "mention", "m.oga", true, 1},
        {30, "mention", "m.oga", true, 1}, // a second mention poll 30 s later: dropped
        {0, "tweet", "t.oga", true, 2},    // other types have their own limit
        {90, "mention", "m.oga", true, 2}, // exactly 120 s after the first: still dropped
        {1, "mention", "m.oga", true, 3},
        {0, "post", "p.oga", false, 4}, // never limited
        {0, "post", "p.oga", false, 5},
        {0, "post", "", false, 5},
        {0, "", "p.oga", true, 5},
    };
    for (const Step &s : steps) {
        clock.advance(s.advanceSeconds * 1000);
        RTSoundAlertManager::postSoundAlert(QLatin1String(s.type), QLatin1String(s.sound),
                                            s.rateLimited);
        EXPECT_EQ(sounds->soundAlerts().size(), s.queued) << s.type << " +" << s.advanceSeconds;
    }
}

TEST_F(AlertsTest, SoundsPlayNewestFirstOneAtATimeWithAPauseBetween)
{
    RTSoundAlertManager::addSoundAlert(QStringLiteral("a"), QStringLiteral("first"));
    clock.advance(10);
    RTSoundAlertManager::addSoundAlert(QStringLiteral("b"), QStringLiteral("second"));
    // Less than two seconds since the manager was made: nothing yet.
    sounds->updateAlerts();
    EXPECT_TRUE(desktop.played.isEmpty());
    clock.advance(2000);
    sounds->updateAlerts();
    ASSERT_EQ(desktop.playedNames(), QStringList{QStringLiteral("second")});
    EXPECT_DOUBLE_EQ(desktop.played.first().volume, 0.5);
    sounds->updateAlerts(); // busy
    EXPECT_EQ(desktop.played.size(), 1);

    // A newer alert arriving while one plays does not take the played one's place.
    clock.advance(500);
    RTSoundAlertManager::addSoundAlert(QStringLiteral("c"), QStringLiteral("third"));
    desktop.finishLastSound();
    sounds->updateAlerts();
    EXPECT_EQ(desktop.played.size(), 1); // the pause after a sound
    clock.advance(2000);
    sounds->updateAlerts();
    desktop.finishLastSound();
    clock.advance(2000);
    sounds->updateAlerts();
    desktop.finishLastSound();
    clock.advance(2000);
    sounds->updateAlerts();
    EXPECT_EQ(desktop.playedNames(), (QStringList{QStringLiteral("second"), QStringLiteral("third"),
                                                  QStringLiteral("first")}));
    EXPECT_TRUE(sounds->soundAlerts().isEmpty());
    EXPECT_TRUE(sounds->isDone());
}

TEST_F(AlertsTest, AStuckOrFailingAudioDeviceDoesNotStallTheQueue)
{
    RTSoundAlertManager::addSoundAlert(QStringLiteral("a"), QStringLiteral("one"));
    RTSoundAlertManager::addSoundAlert(QStringLiteral("b"), QStringLiteral("two"));
    RTSoundAlertManager::addSoundAlert(QStringLiteral("c"), QStringLiteral("three"));
    clock.advance(2000);
    sounds->updateAlerts();
    ASSERT_EQ(desktop.played.size(), 1);
    // The player never reports the end.
    clock.advance(RTSoundAlertManager::kPlayingTimeoutMs - 1);
    sounds->updateAlerts();
    EXPECT_TRUE(sounds->isPlaying());
    clock.advance(1);
    sounds->updateAlerts();
    EXPECT_FALSE(sounds->isPlaying());
    // A late end report of the abandoned sound changes nothing.
    clock.advance(2000);
    sounds->updateAlerts();
    ASSERT_EQ(desktop.played.size(), 2);
    desktop.played.first().finished(true);
    EXPECT_TRUE(sounds->isPlaying());
    // A device error ends the sound like a normal end.
    desktop.finishLastSound(false);
    clock.advance(2000);
    sounds->updateAlerts();
    EXPECT_EQ(desktop.played.size(), 3);
    EXPECT_EQ(sounds->soundAlerts().size(), 1);
}

TEST_F(AlertsTest, EachRequestTypeQueuesTheSoundOfItsSetting)
{
    set(kRTTwitterSoundPrefsNewTweet, QStringLiteral("tweet"));
    set(kRTTwitterSoundPrefsNewMention, QStringLiteral("mention"));
    set(kRTTwitterSoundPrefsNewDM, QStringLiteral("dm"));
    set(kRTTwitterSoundPrefsNewPost, QString());
    auto account = addAccount(QStringLiteral("alice"));
    startManager();
    const auto m = message(*account, QStringLiteral("100"), IsHome);
    struct Row
    {
        qint32 type;
        bool withMessages;
        QString sound; // empty: nothing queued
    };
    const std::vector<Row> rows = {
        {RTTwitterRequestHomeTimeline, true, QStringLiteral("tweet")},
        {1, true, QStringLiteral("tweet")},
        {51, true, QStringLiteral("tweet")},
        {RTTwitterRequestMentions, true, QStringLiteral("mention")},
        {RTTwitterRequestDirectInbox, true, QStringLiteral("dm")},
        {RTTwitterRequestHomeTimeline, false, QString()},
        {6, true, QString()}, // own posts: the setting is empty
        {12, true, QString()},
        {56, true, QString()},
    };
    for (const Row &row : rows) {
        sounds.reset(); // a fresh rate limit
        sounds = std::make_unique<RTSoundAlertManager>();
        account->addSoundAlerts(row.withMessages ? QList<RTMessageTwitterPtr>{m}
                                                 : QList<RTMessageTwitterPtr>{},
                                row.type);
        const auto queued = sounds->soundAlerts();
        if (row.sound.isEmpty()) {
            EXPECT_TRUE(queued.isEmpty()) << row.type;
        } else {
            ASSERT_EQ(queued.size(), 1) << row.type;
            EXPECT_EQ(queued.first().sound, row.sound) << row.type;
        }
    }
}

// --- counts, badge and tray icon -------------------------------------------------------

TEST_F(AlertsTest, CountNodesCountWhatTheirFourSettingsInclude)
{
    auto account = addAccount(QStringLiteral("alice"));
    startManager();
    const auto ref = message(*account, QStringLiteral("50"), IsHome, RTPermanentFlag::IsSeen);
    account->setHomeReferenceMessageId(QStringLiteral("50"));
    auto temporarySearch = RTMessageTwitter::create(QStringLiteral("66"));
    temporarySearch->setTemporaryFlags(IsSearch);
    temporarySearch->setCreatedAt(clock.now());
    const QList<RTMessageTwitterPtr> messages = {
        ref,
        message(*account, QStringLiteral("61"), IsHome),
        message(*account, QStringLiteral("62"), IsMention),
        message(*account, QStringLiteral("63"), IsPrivate),
        message(*account, QStringLiteral("64"), IsListed),
        message(*account, QStringLiteral("65"), IsSearch),
        temporarySearch,
        message(*account, QStringLiteral("67"), IsMention, RTPermanentFlag::IsSeen),
        message(*account, QStringLiteral("68"), IsMention, RTPermanentFlag::IsMuted),
    };
    struct Row
    {
        bool home, mentions, lists, searches;
        int count;
    };
    const std::vector<Row> rows = {
        {false, false, false, false, 0}, {true, false, false, false, 1},
        {false, true, false, false, 2},  {false, false, true, false, 1},
        {false, false, false, true, 1},  {true, true, true, true, 5},
    };
    for (const Row &row : rows) {
        set(RTIncludeHomeInDockCountKey, row.home);
        set(RTIncludeMentionsAndDMsInDockCountKey, row.mentions);
        set(RTIncludeListsInDockCountKey, row.lists);
        set(RTIncludeSearchesInDockCountKey, row.searches);
        // The status icon's node has its own four settings.
        set(RTIncludeHomeInStatusIconCountKey, !row.home);
        set(RTIncludeMentionsAndDMsInStatusIconCountKey, false);
        set(RTIncludeListsInStatusIconCountKey, false);
        set(RTIncludeSearchesInStatusIconCountKey, false);
        add(messages);
        EXPECT_EQ(manager->systemWideCountNode()->newMessagesCount(), row.count)
            << row.home << row.mentions << row.lists << row.searches;
        EXPECT_EQ(manager->statusIconCountNode()->newMessagesCount(), row.home ? 0 : 1);
    }
    EXPECT_TRUE(manager->systemWideCountNode()->validMessagePredicate().isFalse() == false);
    set(RTIncludeHomeInDockCountKey, false);
    set(RTIncludeMentionsAndDMsInDockCountKey, false);
    set(RTIncludeListsInDockCountKey, false);
    set(RTIncludeSearchesInDockCountKey, false);
    EXPECT_TRUE(manager->systemWideCountNode()->validMessagePredicate().isFalse());
}

TEST_F(AlertsTest, BadgeAndTrayIconFollowTheUnseenCountAndTheirSwitches)
{
    auto account = addAccount(QStringLiteral("alice"));
    statusBar->addStatusItem();
    startManager();
    const auto a = message(*account, QStringLiteral("71"), IsMention);
    const auto b = message(*account, QStringLiteral("72"), IsPrivate);
    add({a, b});
    EXPECT_EQ(desktop.badgeLabels.constLast(), QStringLiteral("2"));
    EXPECT_TRUE(desktop.newMessages);
    EXPECT_EQ(desktop.count, 2);

    struct Row
    {
        bool track, dock, colorize;
        QString badge;
        bool icon;
    };
    const std::vector<Row> rows = {
        {true, true, true, QStringLiteral("2"), true},
        {false, true, true, QString(), false},
        {true, false, true, QString(), true},
        {true, true, false, QStringLiteral("2"), false},
    };
    for (const Row &row : rows) {
        set(TATrackIsNewKey, row.track);
        set(TAShowNewCountInDockKey, row.dock);
        set(RTColorizeMenuBarIconWithNewMessagesKey, row.colorize);
        EXPECT_EQ(desktop.badgeLabels.constLast(), row.badge)
            << row.track << row.dock << row.colorize;
        EXPECT_EQ(desktop.newMessages, row.icon) << row.track << row.dock << row.colorize;
    }
    set(RTColorizeMenuBarIconWithNewMessagesKey, true);

    // Nothing moves during a batch; the end of the batch brings both up to date.
    manager->setIsBatchChangingNewCount(true);
    a->setIsSeen(true);
    b->setIsSeen(true);
    QCoreApplication::processEvents();
    EXPECT_EQ(desktop.badgeLabels.constLast(), QStringLiteral("2"));
    manager->setIsBatchChangingNewCount(false);
    EXPECT_EQ(desktop.badgeLabels.constLast(), QString());
    EXPECT_FALSE(desktop.newMessages);

    // A count below zero is reset and shows no badge.
    manager->systemWideCountNode()->changeNewMessagesCountBy(-3);
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    EXPECT_EQ(manager->systemWideCountNode()->newMessagesCount(), 0);
    EXPECT_EQ(desktop.badgeLabels.constLast(), QString());
}

TEST_F(AlertsTest, TrayIconFollowsItsSettingLiveAndAClickShowsOrHidesTheProgram)
{
    set(TAHideMenuBarIconKey, true);
    statusBar->addStatusItem();
    EXPECT_FALSE(desktop.shown);
    set(TAHideMenuBarIconKey, false);
    ASSERT_TRUE(desktop.shown);

    platform.active = false;
    desktop.handlers.clicked(StatusItem::Click::Primary);
    EXPECT_TRUE(platform.active);
    EXPECT_TRUE(platform.called(QStringLiteral("showCurrentMainWindow")));
    desktop.handlers.clicked(StatusItem::Click::Primary);
    EXPECT_FALSE(platform.active);
    desktop.handlers.clicked(StatusItem::Click::Secondary); // the desktop shows the menu
    EXPECT_FALSE(platform.active);

    int preferences = 0;
    QObject::connect(statusBar.get(), &RTStatusBarMenuManager::showPreferencesRequested,
                     [&] { ++preferences; });
    desktop.handlers.preferences();
    EXPECT_EQ(preferences, 1);
    EXPECT_TRUE(platform.active);

    set(TAHideMenuBarIconKey, true);
    EXPECT_FALSE(desktop.shown);

    // No tray on this desktop: nothing is shown and nothing fails.
    desktop.trayAvailable = false;
    set(TAHideMenuBarIconKey, false);
    EXPECT_FALSE(desktop.shown);
    const int iconChanges = desktop.iconChanges;
    statusBar->setNewMessagesStatusItem(4);
    EXPECT_EQ(desktop.iconChanges, iconChanges);
}

// --- pop-up notifications ----------------------------------------------------------------

TEST_F(AlertsTest, FiveNewMessagesGiveThreePopupsAndASummaryAndNeverAgain)
{
    set(RTOnlyShowPopupsWhenOnBackgroundKey, false);
    auto account = addAccount(QStringLiteral("alice"));
    startManager();
    QList<RTMessageTwitterPtr> messages;
    for (int i = 1; i <= 5; ++i)
        messages << message(*account, QString::number(100 + i), IsHome);
    account->showPopupNotificationsForRecievedMessages(messages, RTTwitterRequestHomeTimeline);

    ASSERT_EQ(desktop.notifications.size(), 4);
    const QVariantMap identity = manager->getRootNodeForService(account.get())
                                     ->getChildByRequestType(RTTwitterRequestHomeTimeline)
                                     ->identity();
    ASSERT_FALSE(identity.isEmpty());
    for (int i = 0; i < 3; ++i) {
        const auto &n = desktop.notifications.at(i);
        EXPECT_EQ(n.description, messages.at(i)->body());
        EXPECT_EQ(n.title, messages.at(i)->user()->displayName());
        EXPECT_EQ(n.notificationName, QStringLiteral("Home Messages"));
        EXPECT_TRUE(n.offerMessageActions);
        EXPECT_EQ(n.clickContext.value(QStringLiteral("treeNodeIdentity")).toMap(), identity);
        EXPECT_EQ(n.clickContext.value(QStringLiteral("messageId")).toString(),
                  messages.at(i)->messageId());
    }
    const auto &summary = desktop.notifications.at(3);
    EXPECT_EQ(summary.title, QStringLiteral("alice"));
    EXPECT_EQ(summary.description, QStringLiteral("2 more Home tweets"));
    EXPECT_FALSE(summary.clickContext.contains(QStringLiteral("messageId")));
    for (const auto &m : messages)
        EXPECT_TRUE(m->showedPopupNotification());

    account->showPopupNotificationsForRecievedMessages(messages, RTTwitterRequestHomeTimeline);
    EXPECT_EQ(desktop.notifications.size(), 4);
}

TEST_F(AlertsTest, PopupsStayQuietWhereAPersonWouldWantThem)
{
    auto account = addAccount(QStringLiteral("alice"));
    startManager();
    struct Row
    {
        const char *what;
        std::function<void(RTMessageTwitter &)> prepare;
        qint32 type;
        int notifications;
    };
    const std::vector<Row> rows = {
        {"a fresh mention", [](RTMessageTwitter &) {}, RTTwitterRequestMentions, 1},
        {"a direct message", [](RTMessageTwitter &) {}, RTTwitterRequestDirectInbox, 1},
        {"a seen message", [](RTMessageTwitter &m) { m.setIsSeen(true); }, RTTwitterRequestMentions,
         0},
        {"a muted message",
         [](RTMessageTwitter &m) { m.setPermanentFlags(RTPermanentFlag::IsMuted); },
         RTTwitterRequestMentions, 0},
        {"an own post", [](RTMessageTwitter &) {}, 4, 0},
        {"the account's switch off",
         [&](RTMessageTwitter &) { account->setShowPopupNotifications(false); },
         RTTwitterRequestMentions, 0},
        {"pop-ups switched off", [](RTMessageTwitter &) { set(RTEnablePopupsKey, false); },
         RTTwitterRequestMentions, 0},
        {"the program in front",
         [&](RTMessageTwitter &) {
             set(RTOnlyShowPopupsWhenOnBackgroundKey, true);
             platform.active = true;
         },
         RTTwitterRequestMentions, 0},
        {"in front, pop-ups allowed there",
         [&](RTMessageTwitter &) {
             set(RTOnlyShowPopupsWhenOnBackgroundKey, false);
             platform.active = true;
         },
         RTTwitterRequestMentions, 1},
    };
    int id = 200;
    for (const Row &row : rows) {
        set(RTEnablePopupsKey, true);
        set(RTOnlyShowPopupsWhenOnBackgroundKey, true);
        platform.active = false;
        account->setShowPopupNotifications(true);
        const auto m = message(*account, QString::number(++id), IsMention);
        row.prepare(*m);
        desktop.notifications.clear();
        account->showPopupNotificationsForRecievedMessages({m}, row.type);
        EXPECT_EQ(desktop.notifications.size(), row.notifications) << row.what;
    }
}

TEST_F(AlertsTest, MessagesOfTheStartupSequenceAreMarkedWithoutPopups)
{
    auto account = addAccount(QStringLiteral("alice"));
    startManager();
    account->setupPollingObjects();
    account->createStartupPollSequence();
    ASSERT_FALSE(account->startupPollSequence().isEmpty());
    QList<RTMessageTwitterPtr> messages;
    for (int i = 1; i <= 8; ++i)
        messages << message(*account, QString::number(300 + i), IsMention);
    account->showPopupNotificationsForRecievedMessages(messages, RTTwitterRequestMentions);
    EXPECT_TRUE(desktop.notifications.isEmpty());
    for (const auto &m : messages)
        EXPECT_TRUE(m->showedPopupNotification());
}

TEST_F(AlertsTest, AnswersToAPopupShowTheMessageMarkItReadOrOpenAReply)
{
    auto account = addAccount(QStringLiteral("alice"));
    startManager();
    const auto m = message(*account, QStringLiteral("401"), IsMention);
    add({m});
    account->showPopupNotificationsForRecievedMessages({m}, RTTwitterRequestMentions);
    ASSERT_EQ(desktop.notifications.size(), 1);
    RTTreeNode *mentions = manager->getRootNodeForService(account.get())
                               ->getChildByRequestType(RTTwitterRequestMentions);

    QList<std::pair<RTTreeNode *, QString>> shown;
    QList<RTMessagePtr> replies;
    QObject::connect(delegate.get(), &RTPopupDelegate::showTreeNodeRequested,
                     [&](RTTreeNode *node, const QString &id) {
                         shown.append({node, id});
                     });
    QObject::connect(delegate.get(), &RTPopupDelegate::replyRequested,
                     [&](const RTMessagePtr &message) { replies.append(message); });

    desktop.answer(DesktopNotifications::Answer::Clicked, 0);
    EXPECT_TRUE(platform.active);
    EXPECT_TRUE(platform.called(QStringLiteral("showCurrentMainWindow")));
    ASSERT_EQ(shown.size(), 1);
    EXPECT_EQ(shown.first().first, mentions);
    EXPECT_EQ(shown.first().second, QStringLiteral("401"));

    desktop.answer(DesktopNotifications::Answer::Reply, 0);
    ASSERT_EQ(replies.size(), 1);
    EXPECT_EQ(replies.first().get(), m.get());

    const qint32 before = mentions->newMessagesCount();
    desktop.answer(DesktopNotifications::Answer::MarkAsRead, 0);
    EXPECT_TRUE(m->isSeen());
    EXPECT_EQ(mentions->newMessagesCount(), before - 1);

    // A node that is gone: the program still comes forward, nothing else happens.
    platform.active = false;
    delegate->popupNotificationWasClicked(
        {{QStringLiteral("treeNodeIdentity"), QVariantMap{{QStringLiteral("x"), 1}}}});
    EXPECT_TRUE(platform.active);
    EXPECT_EQ(shown.size(), 1);
}

} // namespace
