#pragma once

#include "timelines/RTTreeNodeTwitter.h"
#include "twitter/RTListTwitter.h"

// The timeline of one Twitter list.
class RTTreeNodeTwitterListsTimeline : public RTTreeNodeTwitter
{
    Q_OBJECT
public:
    RTTreeNodeTwitterListsTimeline(RTServiceTwitter *account, const RTListTwitterPtr &list);
    ~RTTreeNodeTwitterListsTimeline() override { unregisterFromOwner(); }

    [[nodiscard]] RTListTwitterPtr listObject() const { return m_list; }
    [[nodiscard]] bool judgesByPredicateAlone() const override { return false; }
    [[nodiscard]] bool isMessageValid(const RTMessagePtr &message, qint32 requestType,
                                      const QVariantMap &userInfo) const override;
    // A message the list no longer holds (its author left the list) leaves the node.
    [[nodiscard]] bool shouldRemoveMessage(const RTMessagePtr &message, qint32 requestType,
                                           const QVariantMap &userInfo) const override;
    [[nodiscard]] QVariantMap identity() const override;
    // Own private lists first, then own public and others' private, then others' public.
    [[nodiscard]] int sortWeight() const override;
    [[nodiscard]] int defaultListState() const override;
    [[nodiscard]] bool canPollForOlderTweets() const override { return true; }
    bool requestOlderPage(const QString &maxId) override;
    void setInPopupHostingView(bool value) override;
    // The title in a pop-up host is the list's full name.
    void updateName();

private:
    RTListTwitterPtr m_list;
};
