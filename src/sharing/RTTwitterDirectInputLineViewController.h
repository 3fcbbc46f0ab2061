#pragma once

#include "model/RTMessageTwitter.h"
#include "model/RTUserTwitter.h"
#include "sharing/RTDirectInputLineViewController.h"

class RTServiceTwitter;

// The compose line of a Twitter account: tweets of 140 characters, replies, quotes,
// retweets by copy and direct messages.
class RTTwitterDirectInputLineViewController : public RTDirectInputLineViewController
{
    Q_OBJECT

public:
    explicit RTTwitterDirectInputLineViewController(std::shared_ptr<RTServiceTwitter> account,
                                                    QObject *parent = nullptr);

    static void registerFactory();

    [[nodiscard]] std::shared_ptr<RTServiceTwitter> twitterAccount() const;
    [[nodiscard]] bool isDirect() const { return m_isDirect; }
    [[nodiscard]] QString inReplyToStatusIdString() const { return m_inReplyToStatusIdString; }
    [[nodiscard]] QString directMessageRecipient() const { return m_directMessageRecipient; }
    // "di_at" for a reply, "di_dm" for a direct message, else empty.
    [[nodiscard]] QString actionImage() const { return m_actionImage; }
    // The recipient's picture link (empty: the generic user picture) and tool tip.
    [[nodiscard]] QString recipientImageUrl() const { return m_recipientImageUrl; }
    [[nodiscard]] QString recipientToolTip() const { return m_recipientToolTip; }

    // --- prefills -----------------------------------------------------------------
    void replyWithMessages(const QList<RTMessageTwitterPtr> &messages);
    void replyAllWithMessages(const QList<RTMessageTwitterPtr> &messages);
    void quoteWithMessages(const QList<RTMessageTwitterPtr> &messages);
    void copyForwardWithMessages(const QList<RTMessageTwitterPtr> &messages);
    void directForMessages(const QList<RTMessageTwitterPtr> &messages);
    void startDirectMessage();
    void setupDirectMessageWithTwitterUser(const RTUserTwitterPtr &user);
    void clearRecipient();
    void resetToStatusUpdate() { clearRecipient(); }

    // The quote formats by the setting's value ("%@ /via @%@", ...), localised.
    [[nodiscard]] static QStringList quoteFormats();

    void dealWithMessage(const QString &text) override;
    void clearDirectInputLine() override;
    void send() override;
    [[nodiscard]] bool validateMenuItem(int tag) const override;
    [[nodiscard]] QVariantMap stateDictionary() const override;
    void setupStateWithStateDictionary(const QVariantMap &state) override;

    static constexpr char kStateInReplyTo[] = "kDILStateTwitterInReplyToStatusIdString";
    static constexpr char kStateIsDirect[] = "kDILStateTwitterIsDirect";
    static constexpr char kStateRecipient[] = "kDILStateTwitterDirectMessageRecipient";
    static constexpr char kStateRecipientPic[] = "kDILStateTwitterDirectMessageRecipientPic";

    // Length of a leading "d @name" (any case, any white space before the "@"), or 0.
    [[nodiscard]] static qsizetype directPrefixLength(const QString &text);

protected:
    // Sends the text through the account; tests replace it.
    virtual void postToAccount(const QString &text, const QVariantMap &sentState);

private:
    void replyWithMessages(const QList<RTMessageTwitterPtr> &messages, bool toAll);
    void prepareTemporaryLine();
    void setRecipient(const QString &image, const RTUserTwitterPtr &user);
    void checkDirectMessageCompletion();
    void setTextAndCaret(const QString &text, qsizetype caret);

    std::weak_ptr<RTServiceTwitter> m_account;
    bool m_isDirect = false;
    QString m_inReplyToStatusIdString;
    QString m_directMessageRecipient;
    QString m_actionImage;
    QString m_recipientImageUrl;
    QString m_recipientToolTip;
};
