#pragma once

#include "accounts/RTService.h"

#include <QMutex>
#include <QSet>
#include <QStringList>

// The companion service of Talvo's maker. Anonymous until the user configures an account.
// The companion layer adds its jobs, filters and the process-wide instance.
class RTServiceTalvo : public RTService
{
    Q_OBJECT

public:
    Q_INVOKABLE explicit RTServiceTalvo(QObject *parent = nullptr);

    [[nodiscard]] int serviceType() const override { return 8; }
    [[nodiscard]] bool shouldAppearInServiceList() const override { return false; }
    [[nodiscard]] QString treeNodeClass() const override
    {
        return QStringLiteral("RTTreeNodeTalvo");
    }
    [[nodiscard]] QString requestOperationClass() const override
    {
        return QStringLiteral("RTRequestOperationTalvo");
    }

    [[nodiscard]] bool isAnonymous() const override { return m_isAnonymous; }
    void setIsAnonymous(bool anonymous) { m_isAnonymous = anonymous; }

    // Known URL-shortener host names.
    [[nodiscard]] QStringList shortenersList() const { return m_shortenersList; }
    void setShortenersList(const QStringList &hosts) { m_shortenersList = hosts; }
    // Picture hosts: host name -> {"thumbnail_url", "inline_url", "inline_logo"}.
    [[nodiscard]] QVariantMap imagers() const { return m_imagers; }
    void setImagers(const QVariantMap &imagers) { m_imagers = imagers; }
    // Known Twitter client sources by substring.
    [[nodiscard]] QVariantMap twitterSources() const { return m_twitterSources; }

    // Messages the filters have muted or highlighted; at most kMaxArchivedFilteredIds of
    // each set are kept across a restart. Filters change them from request workers:
    // touch them under filteredSetsLock().
    static constexpr int kMaxArchivedFilteredIds = 5000;
    QSet<QString> temporaryMutedMessagesSet;
    QSet<QString> permanentMutedMessagesSet;
    QSet<QString> temporaryHighlightedMessagesSet;
    QSet<QString> permanentHighlightedMessagesSet;

    [[nodiscard]] QMutex &filteredSetsLock() const { return m_filteredSetsLock; }

    void encodeWithCoder(KeyedArchiver &coder) const override;
    void decodeWithCoder(const KeyedUnarchiver &coder) override;

private:
    mutable QMutex m_filteredSetsLock;
    bool m_isAnonymous = true;
    QStringList m_shortenersList;
    QVariantMap m_imagers;
    QVariantMap m_twitterSources;
};
