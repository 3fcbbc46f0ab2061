#pragma once

#include "timelines/RTTreeNodeTwitter.h"
#include "twitter/RTSearchTwitter.h"

// A saved or temporary search of an account.
class RTTreeNodeSearch : public RTTreeNodeTwitter
{
    Q_OBJECT
public:
    explicit RTTreeNodeSearch(const RTSearchTwitterPtr &search);
    // The plain "TRENDING" node.
    static RTTreeNode *initSearchNodes();

    [[nodiscard]] RTSearchTwitterPtr searchObject() const { return m_search; }
    [[nodiscard]] bool isTemporary() const { return m_isTemporary; }
    void setIsTemporary(bool value) { m_isTemporary = value; }
    [[nodiscard]] bool justAdded() const { return m_justAdded; }
    void setJustAdded(bool value) { m_justAdded = value; }
    [[nodiscard]] bool searchFailed() const { return m_searchFailed; }
    void setSearchFailed(bool value) { m_searchFailed = value; }

    [[nodiscard]] bool judgesByPredicateAlone() const override { return false; }
    [[nodiscard]] bool isMessageValid(const RTMessagePtr &message, qint32 requestType,
                                      const QVariantMap &userInfo) const override;
    [[nodiscard]] QVariantMap identity() const override;
    [[nodiscard]] int sortWeight() const override { return 10; }
    [[nodiscard]] int defaultListState() const override;
    [[nodiscard]] bool canPollForOlderTweets() const override { return true; }
    RTNodeMenu *menu() override;
    void reload() override;
    void deleteSelf() override;
    bool requestOlderPage(const QString &maxId) override;
    ~RTTreeNodeSearch() override;

private:
    void searchAnswered(const QVariantMap &result, bool success);

    RTSearchTwitterPtr m_search;
    bool m_isTemporary = true;
    bool m_justAdded = false;
    bool m_searchFailed = false;
    int m_observerId = 0;
};
