#include "ui/prefs/RTPreferencePanes.h"

#include "accounts/RTServiceProtocols.h"
#include "accounts/RTServiceRegistry.h"
#include "foundation/HostProfile.h"
#include "foundation/RTGlobalVariables.h"
#include "foundation/SettingsStore.h"
#include "platform/LoginItems.h"
#include "store/TADataManager.h"
#include "timelines/RTSoundAlertManager.h"
#include "twitter/RTServiceTwitter.h"
#include "ui/prefs/RTSettingsBinding.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalBlocker>
#include <QUrl>
#include <QVBoxLayout>
#include <type_traits>

namespace {

const QString kLoginItemName = QStringLiteral("org.talvo.Talvo");

// A pane: a column of titled groups over a stretch, so short panes stay at the top.
struct Pane
{
    QWidget *widget;
    QVBoxLayout *column;
    RTSettingsBinding *binding;

    explicit Pane(QWidget *parent, const QString &accessibleName)
        : widget(new QWidget(parent))
        , column(new QVBoxLayout(widget))
        , binding(new RTSettingsBinding(widget))
    {
        widget->setAccessibleName(accessibleName);
    }
    QFormLayout *group(const QString &title) const
    {
        auto *box = new QGroupBox(title, widget);
        auto *form = new QFormLayout(box);
        form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
        column->addWidget(box);
        return form;
    }
    QWidget *done() const
    {
        column->addStretch(1);
        return widget;
    }
};

QLabel *note(const QString &text, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setWordWrap(true);
    label->setForegroundRole(QPalette::PlaceholderText);
    return label;
}

// Start at login: an autostart entry for this program, when the desktop has them.
QCheckBox *startAtLoginBox(QWidget *parent)
{
    auto *box = new QCheckBox(QObject::tr("Start Talvo when I log in"), parent);
    box->setObjectName(QStringLiteral("startAtLogin"));
    box->setAccessibleName(box->text());
    if (!LoginItems::hasShared()) {
        box->setEnabled(false);
        box->setToolTip(QObject::tr("This desktop has no autostart folder."));
        return box;
    }
    box->setChecked(LoginItems::shared().findLoginItem(kLoginItemName).has_value());
    QObject::connect(box, &QCheckBox::toggled, box, [box](bool on) {
        const bool ok =
            on ? LoginItems::shared().addLoginItem(
                     kLoginItemName,
                     {QCoreApplication::applicationFilePath(),
                      QUrl::fromLocalFile(QCoreApplication::applicationFilePath()).toString(),
                      QCoreApplication::applicationVersion()})
               : LoginItems::shared().removeLoginItem(kLoginItemName);
        if (!ok) {
            const QSignalBlocker block(box);
            box->setChecked(!on);
            QMessageBox::warning(box->window(), QObject::tr("Start at Login"),
                                 QObject::tr("Talvo could not change its autostart entry. Check "
                                             "that ~/.config/autostart can be written."));
        }
    });
    return box;
}

QList<std::pair<QString, QVariant>> soundChoices()
{
    QList<std::pair<QString, QVariant>> choices{{QObject::tr("None"), QString()}};
    const QVariantList sounds =
        RTSoundAlertManager::talvoSounds() + RTSoundAlertManager::systemSounds();
    for (const QVariant &sound : sounds) {
        const QVariantMap record = sound.toMap();
        choices.append({record.value(QLatin1String(kRTSoundMenuName)).toString(),
                        record.value(QLatin1String(kRTSoundFileName))});
    }
    return choices;
}

// The registered services of one capability, for an account's default choice.
template<class Protocol>
QComboBox *serviceChoice(const std::shared_ptr<RTServiceTwitter> &account, bool imager,
                         QWidget *parent)
{
    auto *combo = new QComboBox(parent);
    const RTServiceList services =
        TADataManager::sharedManager().registry().servicesConformingTo<Protocol>();
    const RTServicePtr current = imager ? account->defaultImager() : account->defaultShortener();
    for (const RTServicePtr &service : services) {
        const auto *p = dynamic_cast<const Protocol *>(service.get());
        QString name;
        if constexpr (std::is_same_v<Protocol, RTShortenerServiceProtocol>)
            name = p->shortenerServiceName();
        else
            name = p->imagerServiceName();
        combo->addItem(name);
        if (service == current)
            combo->setCurrentIndex(combo->count() - 1);
    }
    QObject::connect(combo, &QComboBox::activated, combo, [account, services, imager](int i) {
        if (i < 0 || i >= services.size())
            return;
        if (imager)
            account->setDefaultImager(services.at(i));
        else
            account->setDefaultShortener(services.at(i));
        // The choice is part of the account's archived form.
        TADataManager::sharedManager().saveCachesToDisk();
    });
    return combo;
}

} // namespace

namespace RTPreferencePanes {

QWidget *createGeneralPane(QWidget *parent)
{
    Pane p(parent, QObject::tr("General"));
    RTSettingsBinding &b = *p.binding;
    QFormLayout *start = p.group(QObject::tr("Starting"));
    start->addRow(startAtLoginBox(p.widget));
    start->addRow(b.checkBox(RTStartInBackgroundKey, QObject::tr("Start in the background")));
    start->addRow(b.checkBox(RTAutoHideInBackgroundKey,
                             QObject::tr("Hide Talvo when another window is activated")));

    QFormLayout *reading = p.group(QObject::tr("Reading"));
    reading->addRow(b.checkBox(TATrackIsNewKey, QObject::tr("Keep track of unseen messages")));
    reading->addRow(b.checkBox(TAShouldMarkAsReadOnScrollKey,
                               QObject::tr("Mark messages as seen when they are shown")));
    reading->addRow(b.checkBox(TADimReadMessagesKey, QObject::tr("Dim seen messages")));
    reading->addRow(b.checkBox(RTShouldResolveShortURLsKey, QObject::tr("Expand short links")));
    reading->addRow(
        b.checkBox(RTOpenLinksInBackgroundKey, QObject::tr("Open links in the background")));
    reading->addRow(b.checkBox(RTTranslateSearchesOnDisplayKey,
                               QObject::tr("Translate search results when they are shown")));

    QFormLayout *acting = p.group(QObject::tr("Acting on messages"));
    acting->addRow(
        b.checkBox(RTDoNotConfirmRetweetsKey, QObject::tr("Ask before retweeting"), true));
    acting->addRow(b.checkBox(RTBlockSpammersOnAllAccountsKey,
                              QObject::tr("Block and report spam from every account")));
    acting->addRow(note(QObject::tr("Timelines are refreshed as often as Twitter's rate limit "
                                    "allows; Talvo slows down by itself when the limit runs low."),
                        p.widget));
    return p.done();
}

QWidget *createAppearancePane(QWidget *parent)
{
    Pane p(parent, QObject::tr("Appearance"));
    RTSettingsBinding &b = *p.binding;
    QFormLayout *messages = p.group(QObject::tr("Messages"));
    // Sizes above 13 are cut back at every start.
    QDoubleSpinBox *size = b.doubleSpinBox(TAMessageFontSizeKey, 9.0, 13.0, 0.5);
    size->setSuffix(QObject::tr(" pt"));
    size->setAccessibleName(QObject::tr("Message font size"));
    messages->addRow(QObject::tr("Font size:"), size);
    QComboBox *names =
        b.comboBox(RTTwitterUserDisplayNameKey,
                   {{QObject::tr("Screen name (@name)"), 0}, {QObject::tr("Full name"), 1}});
    names->setAccessibleName(QObject::tr("Show users by"));
    messages->addRow(QObject::tr("Show users by:"), names);
    messages->addRow(b.checkBox(RTShowVerifiedUsersKey, QObject::tr("Mark verified users")));
    messages->addRow(
        b.checkBox(RTShowTwitterSourcesKey, QObject::tr("Show the client a tweet was sent from")));
    messages->addRow(
        b.checkBox(TAUseMessageBackgroundGradientsKey, QObject::tr("Shade message backgrounds")));
    messages->addRow(note(QObject::tr("Light and dark follow the desktop's style."), p.widget));

    QFormLayout *sources = p.group(QObject::tr("Sources"));
    const std::pair<const char *, const char *> combined[] = {
        {RTShowCombinedAllKey, "All"},
        {RTShowCombinedRetweetsKey, "Retweets"},
        {RTShowCombinedFavoritesKey, "Favorites"},
        {RTShowCombinedListsKey, "Lists"},
        {RTShowCombinedGroupsKey, "Groups"},
        {RTShowCombinedSearchesKey, "Searches"},
    };
    for (const auto &[key, title] : combined)
        sources->addRow(b.checkBox(key, QObject::tr("Combined view: %1").arg(QObject::tr(title))));
    sources->addRow(b.checkBox(RTShowTrendsNodeKey, QObject::tr("Show Trends")));
    sources->addRow(b.checkBox(RTShowUngroupedGroupKey, QObject::tr("Show Ungrouped Users")));
    return p.done();
}

QWidget *createNotificationsPane(QWidget *parent)
{
    Pane p(parent, QObject::tr("Notifications"));
    RTSettingsBinding &b = *p.binding;
    QFormLayout *popups = p.group(QObject::tr("Pop-up notifications"));
    popups->addRow(b.checkBox(RTEnablePopupsKey, QObject::tr("Show new messages in pop-ups")));
    popups->addRow(b.checkBox(RTOnlyShowPopupsWhenOnBackgroundKey,
                              QObject::tr("Only while Talvo is in the background")));
    popups->addRow(note(QObject::tr("Each account has its own switch under Accounts."), p.widget));

    QFormLayout *sounds = p.group(QObject::tr("Sounds"));
    const std::pair<const char *, const char *> kinds[] = {
        {kRTTwitterSoundPrefsNewTweet, "New message in Home:"},
        {kRTTwitterSoundPrefsNewMention, "New mention:"},
        {kRTTwitterSoundPrefsNewDM, "New direct message:"},
        {kRTTwitterSoundPrefsNewPost, "My post is sent:"},
    };
    for (const auto &[key, title] : kinds) {
        QComboBox *combo = b.comboBox(key, soundChoices());
        combo->setAccessibleName(QObject::tr(title));
        sounds->addRow(QObject::tr(title), combo);
    }

    QFormLayout *launcher = p.group(QObject::tr("Launcher count"));
    launcher->addRow(b.checkBox(TAShowNewCountInDockKey,
                                QObject::tr("Show the unseen count on the launcher icon")));
    const std::pair<const char *, const char *> dock[] = {
        {RTIncludeHomeInDockCountKey, "Count Home"},
        {RTIncludeMentionsAndDMsInDockCountKey, "Count mentions and direct messages"},
        {RTIncludeListsInDockCountKey, "Count lists"},
        {RTIncludeSearchesInDockCountKey, "Count searches"},
    };
    for (const auto &[key, title] : dock)
        launcher->addRow(b.checkBox(key, QObject::tr(title)));

    QFormLayout *tray = p.group(QObject::tr("Tray icon"));
    tray->addRow(b.checkBox(TAHideMenuBarIconKey, QObject::tr("Hide the tray icon")));
    tray->addRow(b.checkBox(RTColorizeMenuBarIconWithNewMessagesKey,
                            QObject::tr("Colour the icon while unseen messages wait")));
    const std::pair<const char *, const char *> status[] = {
        {RTIncludeHomeInStatusIconCountKey, "Count Home"},
        {RTIncludeMentionsAndDMsInStatusIconCountKey, "Count mentions and direct messages"},
        {RTIncludeListsInStatusIconCountKey, "Count lists"},
        {RTIncludeSearchesInStatusIconCountKey, "Count searches"},
    };
    for (const auto &[key, title] : status)
        tray->addRow(b.checkBox(key, QObject::tr(title)));
    return p.done();
}

QWidget *createSharingPane(QWidget *parent)
{
    Pane p(parent, QObject::tr("Sharing"));
    RTSettingsBinding &b = *p.binding;
    QFormLayout *compose = p.group(QObject::tr("Composing"));
    QLineEdit *quote = b.lineEdit(RTMessageQuoteSyntaxKey);
    quote->setAccessibleName(QObject::tr("Quote syntax"));
    quote->setToolTip(QObject::tr("%u is the author's screen name, %t the quoted text."));
    compose->addRow(QObject::tr("Quote syntax:"), quote);
    compose->addRow(b.checkBox(TAShowDirectInputLineKey, QObject::tr("Show the compose line")));
    compose->addRow(b.checkBox(RTPostOnEnterKey, QObject::tr("Return posts the message")));
    compose->addRow(
        b.checkBox(RTLimitInputLengthKey, QObject::tr("Refuse text beyond 140 characters")));
    compose->addRow(
        b.checkBox(RTAlwaysShortenLinksInMessagesKey, QObject::tr("Shorten links before posting")));
    compose->addRow(b.checkBox(RTCloseDirectInputAfterPostingKey,
                               QObject::tr("Hide the compose line after posting")));

    const auto accounts =
        TADataManager::sharedManager().registry().allServicesOfSameClass<RTServiceTwitter>();
    QFormLayout *services = p.group(QObject::tr("Link shortener and picture host"));
    if (accounts.isEmpty())
        services->addRow(note(QObject::tr("Add a Twitter account to choose its link shortener "
                                          "and picture host."),
                              p.widget));
    for (const auto &account : accounts) {
        QComboBox *shortener = serviceChoice<RTShortenerServiceProtocol>(account, false, p.widget);
        shortener->setAccessibleName(QObject::tr("Link shortener of %1").arg(account->serviceId()));
        services->addRow(QObject::tr("@%1 shortens with:").arg(account->serviceId()), shortener);
        QComboBox *imager = serviceChoice<RTServiceImagerProtocol>(account, true, p.widget);
        imager->setAccessibleName(QObject::tr("Picture host of %1").arg(account->serviceId()));
        services->addRow(QObject::tr("@%1 uploads pictures to:").arg(account->serviceId()), imager);
    }
    return p.done();
}

QWidget *createAdvancedPane(QWidget *parent)
{
    Pane p(parent, QObject::tr("Advanced"));
    RTSettingsBinding &b = *p.binding;
    QFormLayout *network = p.group(QObject::tr("Network"));
    const HostProfile &profile = HostProfile::current();
    auto *profileLabel =
        new QLabel(profile.name().isEmpty() ? QStringLiteral("real") : profile.name(), p.widget);
    profileLabel->setObjectName(QStringLiteral("hostProfile"));
    profileLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    network->addRow(QObject::tr("Host profile:"), profileLabel);
    network->addRow(note(QObject::tr("Start Talvo with --profile NAME to use another profile. "
                                     "Accounts stay with the profile they were added under."),
                         p.widget));
    QString proxy;
    for (const char *name :
         {"https_proxy", "HTTPS_PROXY", "http_proxy", "HTTP_PROXY", "all_proxy", "ALL_PROXY"}) {
        if (proxy.isEmpty())
            proxy = qEnvironmentVariable(name);
    }
    auto *proxyLabel =
        new QLabel(proxy.isEmpty() ? QObject::tr("None (direct connection)") : proxy, p.widget);
    proxyLabel->setObjectName(QStringLiteral("proxy"));
    proxyLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    network->addRow(QObject::tr("Proxy:"), proxyLabel);
    network->addRow(note(QObject::tr("Talvo takes its proxy from the environment (https_proxy, "
                                     "http_proxy, no_proxy)."),
                         p.widget));
    network->addRow(b.checkBox(RTShowErrorMessagesForURLResolvingKey,
                               QObject::tr("Report links that cannot be expanded")));

    QFormLayout *reset = p.group(QObject::tr("Reset"));
    auto *resetButton = new QPushButton(QObject::tr("Reset All Settings…"), p.widget);
    resetButton->setObjectName(QStringLiteral("resetSettings"));
    QObject::connect(resetButton, &QPushButton::clicked, p.widget, [w = p.widget] {
        if (QMessageBox::question(w->window(), QObject::tr("Reset All Settings"),
                                  QObject::tr("Put every setting back to its default? Accounts "
                                              "and their passwords are kept.")) != QMessageBox::Yes)
            return;
        SettingsStore &settings = SettingsStore::shared();
        const QVariantMap defaults = SettingsStore::shippedDefaults();
        for (auto it = defaults.cbegin(); it != defaults.cend(); ++it) {
            // The installation identifier and the first-launch mark are not preferences.
            if (it.key() != QLatin1String(RTGuidKey) && it.key() != QLatin1String(RTFirstLaunchKey))
                settings.removeObjectForKey(it.key());
        }
    });
    reset->addRow(resetButton);
    return p.done();
}

} // namespace RTPreferencePanes
