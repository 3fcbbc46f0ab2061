#pragma once

#include "model/RTAttributedString.h"
#include "model/RTContainedInTreeNodeProtocol.h"
#include "model/RTMessageFlags.h"
#include "model/RTObservable.h"

#include <QDateTime>
#include <QHash>
#include <QMutex>
#include <QPointer>
#include <QSet>
#include <QStringList>
#include <QVarLengthArray>
#include <array>
#include <atomic>
#include <memory>

class RTMessageDataSource;
class RTMessageHolder;
class RTUser;

// One timeline entry. Owned by the account that received it (its messages dictionary);
// tree nodes hold references. The id is fixed at creation.
//
// Threads: the response mapping builds a message on a worker and may set flags on it
// from workers later; flag words change only by atomic OR/AND, so any thread may read
// them. Other fields are written before the message is published and afterwards on the
// main thread only. The set of holding nodes and the display bodies have their own lock.
class RTMessage : public RTObservable,
                  public RTContainedInTreeNodeProtocol,
                  public std::enable_shared_from_this<RTMessage>
{
public:
    explicit RTMessage(const QString &messageId);
    ~RTMessage() override;

    [[nodiscard]] static std::shared_ptr<RTMessage> create(const QString &messageId);

    [[nodiscard]] const QString &messageId() const { return m_messageId; }
    [[nodiscard]] QString body() const { return m_body; }
    void setBody(const QString &body);
    [[nodiscard]] QString translatedBody() const { return m_translatedBody; }
    void setTranslatedBody(const QString &text);
    [[nodiscard]] QString ISOLanguageCode() const { return m_ISOLanguageCode; }
    void setISOLanguageCode(const QString &code) { m_ISOLanguageCode = code; }
    [[nodiscard]] QHash<QString, RTAttributedString> attributedBodyDictionary() const;
    void setAttributedBodyDictionary(const QHash<QString, RTAttributedString> &bodies);
    [[nodiscard]] const QDateTime &createdAt() const { return m_createdAt; }
    // The date decides which flag words an archive keeps, so it counts as a change of them.
    void setCreatedAt(const QDateTime &date);
    [[nodiscard]] QDateTime updatedAt() const { return m_updatedAt; }
    void setUpdatedAt(const QDateTime &date) { m_updatedAt = date; }
    [[nodiscard]] QString userId() const { return m_userId; }
    void setUserId(const QString &userId) { m_userId = userId; }
    [[nodiscard]] QStringList highlightTerms() const { return m_highlightTerms; }
    void setHighlightTerms(const QStringList &terms);
    [[nodiscard]] std::shared_ptr<RTUser> user() const { return m_user; }
    void setUser(std::shared_ptr<RTUser> user) { m_user = std::move(user); }
    // The receiving account (weak); nullptr for messages of the shared searcher.
    [[nodiscard]] QObject *service() const override { return m_service.data(); }
    void setService(QObject *service) { m_service = service; }

    // Whole words, for the mapping that builds a message and for the stored flags.
    [[nodiscard]] quint32 temporaryFlags() const { return m_temporaryFlags.load(); }
    void setTemporaryFlags(quint32 flags) { m_temporaryFlags.store(flags); }
    [[nodiscard]] quint32 permanentFlags() const { return m_permanentFlags.load(); }
    void setPermanentFlags(quint32 flags);
    // Moves on after any message's permanent word (or date) changed, process-wide: a
    // saver that read it before reading the words sees a new value after any later change.
    [[nodiscard]] static quint64 permanentFlagsGeneration();

    // Bit operations on one word; each is a single atomic operation with a full barrier.
    // The setters return the word as it was before, so a caller can tell who won a race.
    [[nodiscard]] static bool readFlag(quint32 flag, const std::atomic<quint32> &mask);
    static quint32 setFlag(quint32 flag, std::atomic<quint32> &mask);
    static quint32 clearFlag(quint32 flag, std::atomic<quint32> &mask);
    static quint32 mergeFlags(std::atomic<quint32> &mask, quint32 flags);

    [[nodiscard]] bool readPermanentFlag(quint32 flag) const;
    quint32 setPermanentFlag(quint32 flag);
    quint32 clearPermanentFlag(quint32 flag);
    quint32 setPermanentFlag(quint32 flag, bool value);
    quint32 mergePermanentFlagsWithFlags(quint32 flags);
    [[nodiscard]] bool readTemporaryFlag(quint32 flag) const;
    quint32 setTemporaryFlag(quint32 flag);
    quint32 clearTemporaryFlag(quint32 flag);
    quint32 setTemporaryFlag(quint32 flag, bool value);
    quint32 mergeTemporaryFlagsWithFlags(quint32 flags);
    // ORs both words of another message into this one; a merge never clears a bit.
    void mergeFlagsWithMessage(const RTMessage &other);

    [[nodiscard]] bool isSeen() const { return readPermanentFlag(RTPermanentFlag::IsSeen); }
    // Also moves the unseen count of every node holding the message by one.
    void setIsSeen(bool value);
    [[nodiscard]] bool isHidden() const { return readPermanentFlag(RTPermanentFlag::IsHidden); }
    void setIsHidden(bool value);
    [[nodiscard]] bool isSpecialHidden() const
    {
        return readPermanentFlag(RTPermanentFlag::IsSpecialHidden);
    }
    void setIsSpecialHidden(bool value);
    [[nodiscard]] bool isDeleted() const { return readPermanentFlag(RTPermanentFlag::IsDeleted); }
    void setIsDeleted(bool value);
    [[nodiscard]] bool isMuted() const { return readPermanentFlag(RTPermanentFlag::IsMuted); }
    void setIsMuted(bool value);

    [[nodiscard]] bool isTranslated() const
    {
        return readTemporaryFlag(RTTemporaryFlag::IsTranslated);
    }
    void setIsTranslated(bool value);
    [[nodiscard]] bool isAutotranslated() const
    {
        return readTemporaryFlag(RTTemporaryFlag::IsAutotranslated);
    }
    void setIsAutotranslated(bool value);
    [[nodiscard]] bool showedPopupNotification() const
    {
        return readTemporaryFlag(RTTemporaryFlag::ShowedPopupNotification);
    }
    void setShowedPopupNotification(bool value);
    [[nodiscard]] bool isFullyDownloaded() const
    {
        return readTemporaryFlag(RTTemporaryFlag::IsFullyDownloaded);
    }
    void setIsFullyDownloaded(bool value);
    [[nodiscard]] bool isHighlighted() const
    {
        return readTemporaryFlag(RTTemporaryFlag::IsHighlighted);
    }
    void setIsHighlighted(bool value);
    [[nodiscard]] bool isRepeated() const { return readTemporaryFlag(RTTemporaryFlag::IsRepeated); }
    void setIsRepeated(bool value);

    // User actions: set the flag here and on every copy of the message in the store.
    void markSeen(bool value);
    void markHidden(bool value);
    void markSpecialHidden(bool value);

    void willBeAddedToTreeNode(RTMessageHolder *node) override;
    void willBeRemovedFromTreeNode(RTMessageHolder *node) override;
    void wasRemovedFromAllTreeNodes() {}
    [[nodiscard]] QSet<RTMessageHolder *> containedInTreeNodesSet() const override;
    // The same without building a set: the nodes holding the message, and one test.
    using TreeNodeList = QVarLengthArray<RTMessageHolder *, 16>;
    [[nodiscard]] TreeNodeList containingTreeNodes() const;
    [[nodiscard]] bool isContainedInTreeNode(const RTMessageHolder *node) const;
    // Starts loading what judging a message for the nodes reads (date, account, flags,
    // holders), so that a pass over a large store waits less on memory.
    void prefetchForJudging() const
    {
        __builtin_prefetch(&m_createdAt);
        __builtin_prefetch(&m_lock);
        __builtin_prefetch(&m_containedInTreeNodes);
    }
    void prefetchPermanentFlags() const { __builtin_prefetch(&m_permanentFlags); }
    [[nodiscard]] bool shouldStoreInPermanentReadAndHiddenSet() const override { return false; }

    // The store that knows the copies of this message.
    [[nodiscard]] virtual RTMessageDataSource *dataSource() const;

    // Rebuilds the display forms of the body (and of the translation). They are built when
    // first asked for: most stored messages are never shown, and the forms cost more than
    // the message. A change of the text they come from builds the pending ones first, so
    // they are what building them here would have given.
    virtual void processBody();
    [[nodiscard]] RTAttributedString attributedBody() const;
    [[nodiscard]] QString attributedBodyString() const;
    // Display-body keys to try, in order, for a list of the given request type.
    [[nodiscard]] virtual QStringList preferredAttributedBodyLookupForRequestType(int type) const;
    [[nodiscard]] RTAttributedString attributedBodyForRequestType(int type) const;

    static void replaceShortURLs(const QHash<QString, QString> &urls, RTAttributedString &text);
    void replaceShortURLsUsingURLsDictionary(const QHash<QString, QString> &urls);

    // The user's translate command, and translation on display of search results.
    virtual void translate();
    void autoTranslate();
    void updateAttributedBodyFont();

    // Diagnostics only.
    [[nodiscard]] virtual QString description() const;

protected:
    // Announces key around a change of one bit; nothing when the bit already has value.
    void changePermanentFlag(quint32 flag, bool value, const char *key);
    void changeTemporaryFlag(quint32 flag, bool value, const char *key);
    // Starts a translation, or shows the known one at once.
    void showOrRequestTranslation();
    // Applies one setter to this message and, when repeated, to its copies.
    void markWithCopies(void (RTMessage::*setter)(bool), bool value);
    // After the permanent word changed from before.
    void permanentWordChanged(quint32 before);

private:
    const QString m_messageId;
    QString m_body;
    QString m_translatedBody;
    QString m_ISOLanguageCode;
    QDateTime m_createdAt;
    QDateTime m_updatedAt;
    QString m_userId;
    QStringList m_highlightTerms;
    std::shared_ptr<RTUser> m_user;
    QPointer<QObject> m_service;
    std::atomic<quint32> m_temporaryFlags{0};
    std::atomic<quint32> m_permanentFlags{0};

    mutable QMutex m_lock; // guards the members below
    // Display bodies under the four known keys in fixed slots (a hash of two entries
    // costs kilobytes per message); any other key in the hash beside them. Allocated only
    // once a body is built or given.
    static constexpr int kBodySlots = 4;
    struct Bodies
    {
        std::array<RTAttributedString, kBodySlots> forms;
        quint8 set = 0;
        QHash<QString, RTAttributedString> others;
    };
    [[nodiscard]] static int bodySlot(const QString &key);
    [[nodiscard]] static QLatin1String bodySlotKey(int slot);
    void storeBodies(const QHash<QString, RTAttributedString> &bodies);  // under m_lock
    [[nodiscard]] QHash<QString, RTAttributedString> loadBodies() const; // under m_lock
    // Builds what processBody left pending (under m_lock).
    void buildPendingBodies() const;
    mutable std::unique_ptr<Bodies> m_bodies;
    mutable std::atomic<bool> m_bodiesPending{false};
    // Few nodes hold one message; a vector is a fraction of a set's size.
    std::vector<RTMessageHolder *> m_containedInTreeNodes;
};

using RTMessagePtr = std::shared_ptr<RTMessage>;
