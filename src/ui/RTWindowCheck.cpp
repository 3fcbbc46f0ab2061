#include "ui/RTWindowCheck.h"

#include "timelines/RTTreeNode.h"
#include "timelines/RTTreeNodeManager.h"
#include "ui/RTListViewController.h"
#include "ui/RTMainWindow.h"
#include "ui/RTMessageListModel.h"
#include "ui/RTOutlineModel.h"

#include <QAction>
#include <QDateTime>
#include <QTimer>
#include <cstdio>

namespace {
constexpr int kTickMs = 200;
constexpr qint32 kHome = 55;
constexpr int kReloadEveryMs = 4000;
} // namespace

RTWindowCheck::RTWindowCheck(RTMainWindow &window, int timeoutMs, QObject *parent)
    : QObject(parent)
    , m_window(window)
    , m_timeoutMs(timeoutMs)
{
}

void RTWindowCheck::report(const QString &line)
{
    std::printf("check: %s\n", qPrintable(line));
    std::fflush(stdout);
}

void RTWindowCheck::fail(const QString &why)
{
    report(QStringLiteral("FAILED: ") + why);
    emit finished(false);
}

void RTWindowCheck::start()
{
    m_stepDeadline = QDateTime::currentMSecsSinceEpoch() + m_timeoutMs;
    QTimer::singleShot(kTickMs, this, &RTWindowCheck::waitForHome);
}

QSet<QString> RTWindowCheck::homeIds() const
{
    QSet<QString> ids;
    RTListViewController *c = m_window.currentController();
    if (!c || c->node() != m_home)
        return ids;
    for (int row = 0; row < c->model().rowCount(); ++row)
        ids.insert(c->model().messageAt(row)->messageId());
    return ids;
}

int RTWindowCheck::homeBadge() const
{
    const QModelIndex idx = m_window.outlineModel()->indexForNode(m_home);
    return idx.isValid() ? idx.data(RTOutlineModel::CountRole).toInt() : -1;
}

void RTWindowCheck::waitForHome()
{
    if (!m_home) {
        for (RTTreeNode *node : m_window.sourceNodes()) {
            if (node->requestType() == kHome && node->parentNode()) {
                m_home = node;
                break;
            }
        }
        if (m_home)
            m_window.showNode(m_home);
    }
    const QSet<QString> ids = homeIds();
    if (ids.isEmpty()) {
        if (QDateTime::currentMSecsSinceEpoch() > m_stepDeadline)
            return fail(QStringLiteral("the Home timeline stayed empty"));
        QTimer::singleShot(kTickMs, this, &RTWindowCheck::waitForHome);
        return;
    }
    report(QStringLiteral("home shows %1 messages").arg(ids.size()));
    m_before = ids;
    m_stepDeadline = QDateTime::currentMSecsSinceEpoch() + m_timeoutMs;
    m_window.action(QStringLiteral("reloadCurrent"))->trigger();
    m_reloads = 1;
    m_nextReload = QDateTime::currentMSecsSinceEpoch() + kReloadEveryMs;
    QTimer::singleShot(kTickMs, this, &RTWindowCheck::waitForNewMessage);
}

void RTWindowCheck::waitForNewMessage()
{
    const QSet<QString> ids = homeIds();
    QString newId;
    for (const QString &id : ids) {
        if (!m_before.contains(id))
            newId = id;
    }
    if (newId.isEmpty()) {
        const qint64 now = QDateTime::currentMSecsSinceEpoch();
        if (now > m_stepDeadline)
            return fail(
                QStringLiteral("no new message reached Home after %1 reloads").arg(m_reloads));
        // A reload asked while the start-up polls still run is skipped: ask again.
        if (now > m_nextReload) {
            m_window.action(QStringLiteral("reloadCurrent"))->trigger();
            ++m_reloads;
            m_nextReload = now + kReloadEveryMs;
        }
        QTimer::singleShot(kTickMs, this, &RTWindowCheck::waitForNewMessage);
        return;
    }
    report(QStringLiteral("a new message %1 arrived after %2 reload(s)").arg(newId).arg(m_reloads));
    QTimer::singleShot(kTickMs, this, &RTWindowCheck::markAllSeen);
}

void RTWindowCheck::markAllSeen()
{
    const int before = homeBadge();
    if (before <= 0)
        return fail(QStringLiteral("the Home badge showed %1 with a new message").arg(before));
    const QSet<QString> marked = homeIds();
    m_window.action(QStringLiteral("markAllSeenInSource"))->trigger();
    m_stepDeadline = QDateTime::currentMSecsSinceEpoch() + m_timeoutMs;
    auto *timer = new QTimer(this);
    connect(timer, &QTimer::timeout, this, [this, timer, before, marked] {
        const int badge = homeBadge();
        // Polls go on: what reached Home after the marking is rightly unseen.
        const qsizetype arrived = (homeIds() - marked).size();
        if (badge <= arrived) {
            timer->deleteLater();
            report(QStringLiteral("marking all seen cleared the badge (was %1; %2 arrived since)")
                       .arg(before)
                       .arg(arrived));
            emit finished(true);
        } else if (QDateTime::currentMSecsSinceEpoch() > m_stepDeadline) {
            timer->deleteLater();
            fail(QStringLiteral("the badge still shows %1").arg(badge));
        }
    });
    timer->start(kTickMs);
}
