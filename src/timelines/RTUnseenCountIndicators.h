#pragma once

#include "foundation/Predicate.h"

#include <QObject>
#include <QString>

class RTServiceRegistry;
class RTTreeNode;
class RTTreeNodeManager;

// Turns the two hidden count nodes into the launcher badge and the tray icon's look, and
// rebuilds their predicates when a count setting changes. Counts may move on request
// workers; the badge and the icon change on the main thread only.
class RTUnseenCountIndicators : public QObject
{
    Q_OBJECT
public:
    // The four include settings of one count node.
    struct IncludeKeys
    {
        const char *home;
        const char *mentionsAndDMs;
        const char *lists;
        const char *searches;
    };
    static const IncludeKeys dockKeys;
    static const IncludeKeys statusIconKeys;

    // The OR of what the settings include; FALSE when they include nothing.
    [[nodiscard]] static Predicate countPredicate(const RTServiceRegistry &registry,
                                                  const IncludeKeys &keys);

    explicit RTUnseenCountIndicators(RTTreeNodeManager &manager);

    // Re-reads both counts and brings the badge and the icon up to date.
    void updateIndicators();
    void rebuildPredicates();
    [[nodiscard]] QString badgeLabel() const { return m_badgeLabel; }

private:
    void settingChanged(const QString &key);

    RTTreeNodeManager &m_manager;
    QString m_badgeLabel;
    bool m_badgeSet = false;
};
