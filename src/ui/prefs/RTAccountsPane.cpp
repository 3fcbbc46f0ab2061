#include "ui/prefs/RTAccountsPane.h"

#include "accounts/RTServiceRegistry.h"
#include "foundation/NotificationCenter.h"
#include "foundation/RTGlobalVariables.h"
#include "networks/facebook/RTServiceFacebook.h"
#include "platform/WindowLayer.h"
#include "store/TAAccounts.h"
#include "store/TADataManager.h"
#include "twitter/RTServiceTwitter.h"
#include "ui/RTUiIcons.h"
#include "ui/prefs/RTAccountLogInBar.h"
#include "ui/prefs/RTLogInAgainDialog.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace {
constexpr int kIdentifierRole = Qt::UserRole + 1;
}

RTAccountsPane::RTAccountsPane(QWidget *parent)
    : QWidget(parent)
    , m_list(new QListWidget(this))
    , m_details(new QGroupBox(this))
    , m_switches(new QVBoxLayout)
    , m_title(new QLabel(this))
    , m_add(new QPushButton(tr("Add Account…"), this))
    , m_remove(new QPushButton(tr("Remove…"), this))
    , m_registry(&TADataManager::sharedManager().registry())
{
    setAccessibleName(tr("Accounts"));
    const int h = fontMetrics().height();
    m_list->setAccessibleName(tr("Accounts"));
    m_list->setMinimumWidth(h * 12);
    m_list->setIconSize(QSize(h * 2, h * 2));
    m_add->setObjectName(QStringLiteral("addAccount"));
    m_remove->setObjectName(QStringLiteral("removeAccount"));
    QFont titleFont = m_title->font();
    titleFont.setBold(true);
    m_title->setFont(titleFont);

    auto *detailsLayout = new QVBoxLayout(m_details);
    detailsLayout->addWidget(m_title);
    detailsLayout->addLayout(m_switches);
    detailsLayout->addStretch(1);

    auto *left = new QVBoxLayout;
    left->addWidget(m_list, 1);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_add);
    buttons->addWidget(m_remove);
    buttons->addStretch(1);
    left->addLayout(buttons);
    auto *layout = new QHBoxLayout(this);
    layout->addLayout(left);
    layout->addWidget(m_details, 1);

    connect(m_list, &QListWidget::currentRowChanged, this, &RTAccountsPane::showSwitches);
    connect(m_add, &QPushButton::clicked, this, [] {
        if (WindowLayer::hasShared())
            WindowLayer::shared().showServiceAddition();
    });
    connect(m_remove, &QPushButton::clicked, this, [this] { removeSelected(true); });
    connect(m_registry, &RTServiceRegistry::servicesChanged, this, &RTAccountsPane::reload);
    m_pictureObserver = NotificationCenter::defaultCenter().addObserver(
        QLatin1String(RTNewImageDownloadedNotification), [this](const void *, const QVariantMap &) {
            if (m_waitingForPicture)
                QTimer::singleShot(0, this, &RTAccountsPane::reload);
        });
    reload();
}

RTAccountsPane::~RTAccountsPane()
{
    NotificationCenter::defaultCenter().removeObserver(m_pictureObserver);
}

QIcon RTAccountsPane::accountIcon(const RTService &account, const QColor &ink)
{
    if (account.needsLogIn())
        return RTUiIcons::icon(QStringLiteral("locked"), ink);
    const auto *facebook = qobject_cast<const RTServiceFacebook *>(&account);
    const RTUserFacebookPtr me = facebook ? facebook->mySelf() : nullptr;
    if (me && !me->picUrl().isEmpty()) {
        QPixmap picture;
        const QByteArray bytes = me->profileImage();
        if (bytes.isEmpty())
            m_waitingForPicture = true;
        else if (picture.loadFromData(bytes))
            return QIcon(picture);
    }
    return RTUiIcons::icon(QStringLiteral("account"), ink);
}

RTServicePtr RTAccountsPane::selectedAccount() const
{
    const int row = m_list->currentRow();
    return row >= 0 && row < m_accounts.size() ? m_accounts.at(row) : nullptr;
}

bool RTAccountsPane::selectAccount(const QString &identifier)
{
    for (int i = 0; i < m_list->count(); ++i) {
        if (m_list->item(i)->data(kIdentifierRole).toString() == identifier) {
            m_list->setCurrentRow(i);
            return true;
        }
    }
    return false;
}

void RTAccountsPane::reload()
{
    const RTServicePtr selected = selectedAccount();
    m_accounts = TAAccounts::userAccounts(m_registry->services());
    for (const QMetaObject::Connection &c : std::as_const(m_watches))
        disconnect(c);
    m_watches.clear();
    const QSignalBlocker block(m_list);
    m_list->clear();
    m_waitingForPicture = false;
    const QColor ink = palette().color(QPalette::WindowText);
    int row = m_accounts.isEmpty() ? -1 : 0;
    for (int i = 0; i < m_accounts.size(); ++i) {
        const RTServicePtr &s = m_accounts.at(i);
        const QString name = RTAccountLogInBar::accountName(*s);
        const QString kind = RTAccountLogInBar::kindTitle(*s);
        const bool locked = s->needsLogIn();
        const QString second = locked ? tr("%1 · Log-in needed").arg(kind) : kind;
        auto *item =
            new QListWidgetItem(accountIcon(*s, ink), tr("%1\n%2").arg(name, second), m_list);
        item->setData(kIdentifierRole, TAAccounts::identifier(*s));
        item->setData(Qt::AccessibleTextRole, locked ? tr("%1, %2, needs a log-in").arg(name, kind)
                                                     : tr("%1, %2").arg(name, kind));
        if (locked)
            item->setToolTip(RTAccountLogInBar::sentence(*s));
        if (s == selected)
            row = i;
        // A refused log-in, or one mended, changes the row.
        m_watches.append(connect(s.get(), &RTService::needsLogInChanged, this,
                                 &RTAccountsPane::reload, Qt::QueuedConnection));
        // The person's name and picture arrive after the account.
        if (auto *facebook = qobject_cast<RTServiceFacebook *>(s.get()))
            m_watches.append(connect(facebook, &RTServiceFacebook::mySelfChanged, this,
                                     &RTAccountsPane::reload, Qt::QueuedConnection));
    }
    m_list->setCurrentRow(row);
    showSwitches();
}

void RTAccountsPane::addSwitch(const QString &name, const QString &text, bool on,
                               std::function<void(bool)> apply)
{
    auto *box = new QCheckBox(text, m_details);
    box->setObjectName(name);
    box->setAccessibleName(text);
    box->setChecked(on);
    connect(box, &QCheckBox::toggled, this, [apply = std::move(apply)](bool value) {
        apply(value);
        // These switches are part of the account's archived form.
        TADataManager::sharedManager().saveCachesToDisk();
    });
    m_switches->addWidget(box);
}

void RTAccountsPane::showLogInNeeded(const RTServicePtr &account)
{
    auto *text = new QLabel(RTAccountLogInBar::sentence(*account) + QLatin1Char(' ') +
                                tr("Log in again to keep it up to date. Its messages and "
                                   "settings are kept; only the log-in is replaced."),
                            m_details);
    text->setObjectName(QStringLiteral("logInNeeded"));
    text->setWordWrap(true);
    text->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_switches->addWidget(text);
    auto *button = new QPushButton(tr("Log In Again…"), m_details);
    button->setObjectName(QStringLiteral("logInAgain"));
    button->setAccessibleName(
        tr("Log in again to %1 as %2")
            .arg(RTAccountLogInBar::kindTitle(*account), RTAccountLogInBar::accountName(*account)));
    button->setEnabled(RTLogInAgainDialog::canLogInAgain(*account));
    const std::weak_ptr<RTService> weak = account;
    connect(button, &QPushButton::clicked, this, [this, weak] {
        if (const RTServicePtr s = weak.lock())
            RTLogInAgainDialog::open(s, window());
    });
    auto *row = new QHBoxLayout;
    row->addWidget(button);
    row->addStretch(1);
    auto *holder = new QWidget(m_details);
    holder->setLayout(row);
    row->setContentsMargins(0, 0, 0, 0);
    m_switches->addWidget(holder);
}

QPushButton *RTAccountsPane::logInAgainButton() const
{
    return m_details->findChild<QPushButton *>(QStringLiteral("logInAgain"));
}

QCheckBox *RTAccountsPane::accountSwitch(const QString &name) const
{
    return m_details->findChild<QCheckBox *>(name);
}

void RTAccountsPane::showSwitches()
{
    while (QLayoutItem *item = m_switches->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    const RTServicePtr account = selectedAccount();
    m_remove->setEnabled(account != nullptr);
    if (!account) {
        m_title->setText(tr("No accounts yet. Add one to start reading."));
        return;
    }
    m_title->setText(tr("%1 (%2)").arg(RTAccountLogInBar::accountName(*account),
                                       RTAccountLogInBar::kindTitle(*account)));
    if (account->needsLogIn())
        showLogInNeeded(account);
    const std::weak_ptr<RTService> weak = account;
    addSwitch(QStringLiteral("showPopupNotifications"),
              tr("Show pop-up notifications for this account"), account->showPopupNotifications(),
              [weak](bool on) {
                  if (auto s = weak.lock())
                      s->setShowPopupNotifications(on);
              });
    auto twitter = std::dynamic_pointer_cast<RTServiceTwitter>(account);
    if (!twitter)
        return;
    const std::weak_ptr<RTServiceTwitter> tw = twitter;
    using Setter = void (RTServiceTwitter::*)(bool);
    struct Row
    {
        const char *name;
        const char *text;
        bool on;
        Setter set;
    };
    const Row rows[] = {
        {"showRetweetsInHome", "Home shows retweets", twitter->showRetweetsInHome(),
         &RTServiceTwitter::setShowRetweetsInHome},
        {"showSentInHome", "Home shows my own posts", twitter->showSentInHome(),
         &RTServiceTwitter::setShowSentInHome},
        {"showMentionsInHome", "Home shows mentions", twitter->showMentionsInHome(),
         &RTServiceTwitter::setShowMentionsInHome},
        {"showListsNode", "Show Lists", twitter->showListsNode(),
         &RTServiceTwitter::setShowListsNode},
        {"showSearchesNode", "Show Searches", twitter->showSearchesNode(),
         &RTServiceTwitter::setShowSearchesNode},
        {"showFavoritesNode", "Show Favorites", twitter->showFavoritesNode(),
         &RTServiceTwitter::setShowFavoritesNode},
        {"showRetweetsNode", "Show Retweets", twitter->showRetweetsNode(),
         &RTServiceTwitter::setShowRetweetsNode},
        {"showGroupsNode", "Show Groups", twitter->showGroupsNode(),
         &RTServiceTwitter::setShowGroupsNode},
        {"showCombinedNode", "Show Combined", twitter->showCombinedNode(),
         &RTServiceTwitter::setShowCombinedNode},
    };
    for (const Row &r : rows) {
        addSwitch(QString::fromLatin1(r.name), tr(r.text), r.on, [tw, set = r.set](bool on) {
            if (auto s = tw.lock())
                (s.get()->*set)(on);
        });
    }
}

void RTAccountsPane::removeSelected(bool confirm)
{
    const RTServicePtr account = selectedAccount();
    if (!account)
        return;
    if (confirm &&
        QMessageBox::question(window(), tr("Remove Account"),
                              tr("Remove the %1 account %2? Its password and what Talvo keeps "
                                 "of it are deleted from this computer; the account itself "
                                 "stays on %1.")
                                  .arg(account->serviceName(), account->serviceId()),
                              QMessageBox::Yes | QMessageBox::Cancel,
                              QMessageBox::Cancel) != QMessageBox::Yes)
        return;
    const TAAccounts::Removal removal =
        TAAccounts::removeAccount(TADataManager::sharedManager(), account);
    if (!removal.keychainCleared && confirm)
        QMessageBox::warning(window(), tr("Remove Account"), removal.message);
    reload();
}
