#include "ui/filters/RTCompanionFilterActions.h"

#include "accounts/RTServiceRegistry.h"
#include "companion/RTCompanionClient.h"
#include "companion/RTTwitterMessageDatedFilterMenu.h"
#include "foundation/Clock.h"
#include "model/RTUserTwitter.h"
#include "text/RTMessageTextParser.h"
#include "timelines/RTTreeNodeKinds.h"
#include "timelines/RTTreeNodePopupHostTwitterGroupsParent.h"
#include "twitter/RTServiceTwitter.h"
#include "ui/RTMessageListModel.h"
#include "ui/filters/RTFiltersModel.h"
#include "ui/filters/RTFiltersPane.h"
#include "ui/filters/RTGroupNameSheet.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QMenu>
#include <QVBoxLayout>

namespace {

QString handle(const QString &name, const QString &userId)
{
    return name.isEmpty() ? userId : QLatin1Char('@') + name;
}

QWidget *sheetParent(QWidget *parent)
{
    return parent ? parent->window() : QApplication::activeWindow();
}

} // namespace

RTCompanionFilterActions::RTCompanionFilterActions(ClientSource client, RegistrySource registry)
    : m_client(std::move(client))
    , m_registry(std::move(registry))
{
}

RTCompanionFilterActions::~RTCompanionFilterActions()
{
    // Widgets may go only while the application lives; a window of its own would be
    // left to the end of the process otherwise.
    if (QCoreApplication::instance())
        delete m_filtersWindow.data();
}

RTCompanionClient &RTCompanionFilterActions::client()
{
    RTCompanionClient &c = m_client();
    // A group node's "Rename..." asks here for the new name.
    if (m_handlerInstalledOn != &c) {
        m_handlerInstalledOn = &c;
        c.setRenameGroupHandler(
            [this](const RTGroupObjectPtr &group) { showRenameGroupSheet(group, nullptr); });
        // A pass may highlight a message that stays where it is: no row changes, so the
        // lists are painted again to show it.
        QObject::connect(&c.filters(), &RTDatedFilters::filtersApplied, &c, [] {
            for (QWidget *window : QApplication::topLevelWidgets())
                for (QAbstractItemView *view : window->findChildren<QAbstractItemView *>())
                    view->viewport()->update();
        });
    }
    return c;
}

void RTCompanionFilterActions::addMuteMenu(QMenu &menu, const RTMessagePtr &message,
                                           const QString &factor, const QString &kind,
                                           const QString &title, const QString &extendTitle)
{
    RTCompanionClient &c = client();
    const bool running = RTTwitterMessageDatedFilterMenu(c, message, factor, kind, false)
                             .findActiveMuteForMessage() != nullptr;
    auto model =
        std::make_shared<RTTwitterMessageDatedFilterMenu>(c, message, factor, kind, running);
    QMenu *sub = menu.addMenu(running ? extendTitle : title);
    sub->setObjectName(kind == RTCompanionClient::kUser ? QStringLiteral("muteAuthorMenu")
                                                        : QStringLiteral("muteHashtagMenu"));
    for (const RTTwitterMessageDatedFilterMenu::Item &item : model->items()) {
        if (item.hidden)
            continue;
        if (item.tag == RTTwitterMessageDatedFilterMenu::kSeparatorTag) {
            // Without a status line above it the separator would only be a gap.
            if (running)
                sub->addSeparator();
            continue;
        }
        QAction *a = sub->addAction(item.title);
        a->setEnabled(item.enabled);
        a->setData(item.seconds);
        if (item.seconds >= 0) {
            const qint64 seconds = item.seconds;
            QObject::connect(a, &QAction::triggered, a,
                             [model, seconds] { model->actOnFilter(seconds); });
        }
    }
}

void RTCompanionFilterActions::addHighlightMenu(QMenu &menu, const QString &userId,
                                                const QString &name)
{
    RTCompanionClient &c = client();
    const RTHighlightObjectPtr running =
        c.filters().findActiveHighlight(RTCompanionClient::kUser, userId);
    QMenu *sub = menu.addMenu(running ? QObject::tr("Extend Highlight of %1").arg(name)
                                      : QObject::tr("Highlight %1").arg(name));
    sub->setObjectName(QStringLiteral("highlightAuthorMenu"));
    if (running) {
        const QString left = RTFiltersModel::remainingText(*running, Clock::currentDateTime());
        sub->addAction(QObject::tr("Highlight Time Remaining: %1").arg(left))->setEnabled(false);
        sub->addSeparator();
    }
    const QString filterId = running ? running->filterId() : QString();
    QPointer<RTCompanionClient> target(&c);
    for (const RTTwitterMessageDatedFilterMenu::Item &period :
         RTTwitterMessageDatedFilterMenu::periods()) {
        QAction *a = sub->addAction(period.title);
        a->setData(period.seconds);
        const qint64 seconds = period.seconds;
        QObject::connect(a, &QAction::triggered, a, [target, filterId, userId, seconds] {
            if (!target)
                return;
            if (filterId.isEmpty())
                target->highlightUser(userId, seconds);
            else
                target->extendHighlight(filterId, seconds);
        });
    }
    if (running) {
        sub->addSeparator();
        QAction *end = sub->addAction(QObject::tr("Remove Highlight"));
        end->setData(0);
        QObject::connect(end, &QAction::triggered, end, [target, filterId] {
            if (target)
                target->destroyHighlight(filterId);
        });
    }
}

QStringList RTCompanionFilterActions::groupNames(RTServiceTwitter *account,
                                                 const RTGroupObjectPtr &except)
{
    QStringList names;
    for (const RTGroupObjectPtr &group : client().groupsOfService(account))
        if (group != except)
            names << group->groupName();
    return names;
}

void RTCompanionFilterActions::addGroupMenus(QMenu &menu, RTServiceTwitter *account,
                                             const QString &userId, const QString &name)
{
    RTCompanionClient &c = client();
    const bool hasAccount = c.hasAnAccountConfigured();
    QPointer<RTCompanionClient> target(&c);
    QMenu *add = menu.addMenu(QObject::tr("Add %1 to Group").arg(name));
    add->setObjectName(QStringLiteral("addToGroupMenu"));
    add->setEnabled(hasAccount);
    if (!hasAccount)
        add->setToolTip(QObject::tr("Groups need a Talvo account"));
    QList<RTGroupObjectPtr> containing;
    for (const RTGroupObjectPtr &group : c.groupsOfService(account)) {
        if (group->members().contains(userId)) {
            containing << group;
            continue;
        }
        QAction *a = add->addAction(group->groupName());
        QObject::connect(a, &QAction::triggered, a, [target, userId, group] {
            if (target)
                target->addMemberToGroup(userId, group);
        });
    }
    if (!add->isEmpty())
        add->addSeparator();
    QPointer<RTServiceTwitter> owner(account);
    QPointer<QMenu> menuParent(&menu);
    QAction *create = add->addAction(QObject::tr("New Group with %1…").arg(name));
    QObject::connect(create, &QAction::triggered, create, [this, owner, userId, menuParent] {
        if (owner)
            showNewGroupSheet(owner, {userId}, menuParent ? menuParent->parentWidget() : nullptr);
    });
    if (containing.isEmpty())
        return;
    QMenu *remove = menu.addMenu(QObject::tr("Remove %1 from Group").arg(name));
    remove->setObjectName(QStringLiteral("removeFromGroupMenu"));
    remove->setEnabled(hasAccount);
    for (const RTGroupObjectPtr &group : std::as_const(containing)) {
        QAction *a = remove->addAction(group->groupName());
        QObject::connect(a, &QAction::triggered, a, [target, userId, group] {
            if (target)
                target->removeMemberFromGroup(userId, group);
        });
    }
}

void RTCompanionFilterActions::addMessageMenuItems(QMenu &menu, const RTMessagePtr &message)
{
    if (!message)
        return;
    auto *account = qobject_cast<RTServiceTwitter *>(message->service());
    const QString userId = message->userId();
    const RTUserTwitterPtr me = account ? account->myself() : nullptr;
    const bool ownMessage = me && me->userId() == userId;
    const QString name = handle(RTMessageListModel::screenName(*message), userId);
    if (!userId.isEmpty() && !ownMessage)
        addMuteMenu(menu, message, userId, RTCompanionClient::kUser,
                    QObject::tr("Mute %1").arg(name), QObject::tr("Extend Mute of %1").arg(name));
    const QStringList tags = RTMessageTextParser::hashtagsInMessageText(message->body());
    if (!tags.isEmpty()) {
        QMenu *hashtags = menu.addMenu(QObject::tr("Mute Hashtag"));
        hashtags->setObjectName(QStringLiteral("muteHashtags"));
        QStringList seen;
        for (const QString &tag : tags) {
            // The parser gives the tags as written, with their sign ("#" or "＃").
            QString factor = tag;
            if (factor.startsWith(QChar(0xFF03)))
                factor[0] = QLatin1Char('#');
            if (!factor.startsWith(QLatin1Char('#')))
                factor.prepend(QLatin1Char('#'));
            if (seen.contains(factor, Qt::CaseInsensitive))
                continue;
            seen << factor;
            addMuteMenu(*hashtags, message, factor, RTCompanionClient::kHashtag, factor,
                        QObject::tr("Extend Mute of %1").arg(factor));
        }
    }
    if (userId.isEmpty() || ownMessage)
        return;
    addHighlightMenu(menu, userId, name);
    if (account)
        addGroupMenus(menu, account, userId, name);
}

void RTCompanionFilterActions::addNodeMenuItems(QMenu &menu, RTTreeNode *node)
{
    if (!node)
        return;
    RTCompanionClient &c = client();
    QPointer<QWidget> parent(menu.parentWidget());
    if (qobject_cast<RTTreeNodeMutes *>(node)) {
        menu.addSeparator();
        QAction *a = menu.addAction(QObject::tr("Mutes and Highlights…"));
        a->setObjectName(QStringLiteral("showFilters"));
        QObject::connect(a, &QAction::triggered, a, [this, parent] { showFilters(parent); });
        return;
    }
    auto *account = qobject_cast<RTServiceTwitter *>(node->service());
    const bool isHost = qobject_cast<RTTreeNodePopupHostTwitterGroupsParent *>(node) != nullptr;
    const bool isGroup = qobject_cast<RTTreeNodeTwitterGroup *>(node) != nullptr &&
                         qobject_cast<RTTreeNodeTwitterGroupUngrouped *>(node) == nullptr;
    if (!account || (!isHost && !isGroup))
        return;
    menu.addSeparator();
    QPointer<RTServiceTwitter> owner(account);
    QAction *create = menu.addAction(QObject::tr("New Group…"));
    create->setObjectName(QStringLiteral("newGroup"));
    create->setEnabled(c.hasAnAccountConfigured());
    QObject::connect(create, &QAction::triggered, create, [this, owner, parent] {
        if (owner)
            showNewGroupSheet(owner, {}, parent);
    });
    const RTGroupObjectPtr group = isGroup ? c.groupForNode(node) : nullptr;
    if (!group || group->members().isEmpty())
        return;
    QMenu *members = menu.addMenu(QObject::tr("Remove Member"));
    members->setObjectName(QStringLiteral("removeMemberMenu"));
    members->setEnabled(c.hasAnAccountConfigured());
    QPointer<RTCompanionClient> target(&c);
    for (const QString &member : group->members()) {
        QAction *a =
            members->addAction(handle(RTFiltersPane::screenNameOf(m_registry(), member), member));
        QObject::connect(a, &QAction::triggered, a, [target, member, group] {
            if (target)
                target->removeMemberFromGroup(member, group);
        });
    }
}

void RTCompanionFilterActions::showFilters(QWidget *parent)
{
    if (!m_filtersWindow) {
        auto *window = new QWidget(parent ? parent->window() : nullptr, Qt::Window);
        window->setObjectName(QStringLiteral("filtersWindow"));
        window->setWindowTitle(QObject::tr("Mutes and Highlights"));
        window->setAttribute(Qt::WA_DeleteOnClose);
        auto *layout = new QVBoxLayout(window);
        layout->addWidget(new RTFiltersPane(client(), m_registry(), window));
        const int h = window->fontMetrics().height();
        window->resize(h * 32, h * 22);
        m_filtersWindow = window;
    }
    m_filtersWindow->show();
    m_filtersWindow->raise();
    m_filtersWindow->activateWindow();
}

void RTCompanionFilterActions::showNewGroupSheet(RTServiceTwitter *account,
                                                 const QStringList &members, QWidget *parent)
{
    if (!account)
        return;
    auto *sheet = new RTGroupNameSheet(
        QObject::tr("New Group"),
        QObject::tr("A group shows the messages of its members from @%1's Home.")
            .arg(account->serviceId()),
        QObject::tr("Create"), QString(), groupNames(account), sheetParent(parent));
    sheet->setAttribute(Qt::WA_DeleteOnClose);
    QPointer<RTServiceTwitter> owner(account);
    QObject::connect(sheet, &QDialog::accepted, sheet, [this, sheet, owner, members] {
        if (owner)
            client().createGroupWithGroupObject(
                RTCompanionClient::newGroupWithService(owner, sheet->name(), members));
    });
    sheet->open();
}

void RTCompanionFilterActions::showRenameGroupSheet(const RTGroupObjectPtr &group, QWidget *parent)
{
    auto *account = group ? qobject_cast<RTServiceTwitter *>(group->service()) : nullptr;
    if (!account)
        return;
    auto *sheet = new RTGroupNameSheet(
        QObject::tr("Rename Group"),
        QObject::tr("New name of the group “%1”:").arg(group->groupName()), QObject::tr("Rename"),
        group->groupName(), groupNames(account, group), sheetParent(parent));
    sheet->setAttribute(Qt::WA_DeleteOnClose);
    QObject::connect(sheet, &QDialog::accepted, sheet,
                     [this, sheet, group] { client().renameGroup(group, sheet->name()); });
    sheet->open();
}
