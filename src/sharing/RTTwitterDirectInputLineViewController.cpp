#include "sharing/RTTwitterDirectInputLineViewController.h"

#include "foundation/Localization.h"
#include "foundation/RTGlobalVariables.h"
#include "foundation/SettingsStore.h"
#include "text/RTMessageTextParser.h"
#include "twitter/RTServiceTwitter.h"

namespace {

QString key(const char *name)
{
    return QString::fromLatin1(name);
}

// A character of a name after "d @": letters, digits, symbols (So), combining marks and a
// few punctuation characters.
bool isMentionChar(char32_t c)
{
    static const QString extra = QStringLiteral("-_+.,$&#~=;:!*'()/`");
    if (c < 0x10000 && extra.contains(QChar(char16_t(c))))
        return true;
    switch (QChar::category(c)) {
    case QChar::Letter_Uppercase:
    case QChar::Letter_Lowercase:
    case QChar::Letter_Titlecase:
    case QChar::Letter_Modifier:
    case QChar::Letter_Other:
    case QChar::Number_DecimalDigit:
    case QChar::Number_Letter:
    case QChar::Number_Other:
    case QChar::Symbol_Other:
    case QChar::Mark_NonSpacing:
    case QChar::Mark_SpacingCombining:
    case QChar::Mark_Enclosing:
        return true;
    default:
        return false;
    }
}

bool containsIgnoringCase(const QStringList &list, const QString &item)
{
    for (const QString &s : list)
        if (s.compare(item, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

QString screenNameOf(const RTMessageTwitterPtr &message)
{
    const auto user = message ? std::dynamic_pointer_cast<RTUserTwitter>(message->user()) : nullptr;
    return user ? user->screenName() : QString();
}

RTUserTwitterPtr authorOf(const RTMessageTwitterPtr &message)
{
    return message ? std::dynamic_pointer_cast<RTUserTwitter>(message->user()) : nullptr;
}

// "%@ via @%@" applied to (body, name).
QString applyQuoteFormat(QString format, const QString &body, const QString &name)
{
    const qsizetype first = format.indexOf(QLatin1String("%@"));
    if (first < 0)
        return body;
    format.replace(first, 2, QStringLiteral("\x01"));
    format.replace(QLatin1String("%@"), QStringLiteral("\x02"));
    QString out;
    for (const QChar c : format) {
        if (c == QChar(1))
            out += body;
        else if (c == QChar(2))
            out += name;
        else
            out += c;
    }
    return out;
}

} // namespace

RTTwitterDirectInputLineViewController::RTTwitterDirectInputLineViewController(
    std::shared_ptr<RTServiceTwitter> account, QObject *parent)
    : RTDirectInputLineViewController(account, parent)
    , m_account(account)
{
    setLimited(true, 140);
    dealWithMessage(m_text);
}

void RTTwitterDirectInputLineViewController::registerFactory()
{
    registerControllerFactory(
        2, [](const RTServicePtr &service) -> RTDirectInputLineViewController * {
            const auto account = std::dynamic_pointer_cast<RTServiceTwitter>(service);
            return account ? new RTTwitterDirectInputLineViewController(account) : nullptr;
        });
}

std::shared_ptr<RTServiceTwitter> RTTwitterDirectInputLineViewController::twitterAccount() const
{
    return m_account.lock();
}

QStringList RTTwitterDirectInputLineViewController::quoteFormats()
{
    static const QStringList formats = [] {
        QStringList list;
        for (int i = 0; i < 3; ++i)
            list << localizedString(
                QStringLiteral("##RTPreferencesQuoteRetweetMenuDelegate:%1##").arg(i));
        return list;
    }();
    return formats;
}

qsizetype RTTwitterDirectInputLineViewController::directPrefixLength(const QString &text)
{
    if (text.isEmpty() || text.at(0).toLower() != QLatin1Char('d'))
        return 0;
    qsizetype i = 1;
    const qsizetype spaceStart = i;
    while (i < text.size() && text.at(i).isSpace())
        ++i;
    if (i == spaceStart || i >= text.size() || text.at(i) != QLatin1Char('@'))
        return 0;
    ++i;
    int count = 0;
    while (i < text.size() && count < 40) {
        char32_t c = text.at(i).unicode();
        int width = 1;
        if (text.at(i).isHighSurrogate() && i + 1 < text.size() &&
            text.at(i + 1).isLowSurrogate()) {
            c = QChar::surrogateToUcs4(text.at(i), text.at(i + 1));
            width = 2;
        }
        if (!isMentionChar(c))
            break;
        i += width;
        ++count;
    }
    return count == 0 ? 0 : i;
}

void RTTwitterDirectInputLineViewController::setTextAndCaret(const QString &text, qsizetype caret)
{
    setText(text);
    dealWithMessage(m_text);
    setSelectedRange(caret);
    emit focusRequested();
}

void RTTwitterDirectInputLineViewController::prepareTemporaryLine()
{
    setIsTemporary(true);
    clearDirectInputLine();
    emit showLineRequested();
}

void RTTwitterDirectInputLineViewController::setRecipient(const QString &image,
                                                          const RTUserTwitterPtr &user)
{
    m_actionImage = image;
    m_recipientImageUrl = user ? user->profileImageUrl() : QString();
    m_recipientToolTip = user ? user->screenName() : QString();
    emit recipientChanged();
}

void RTTwitterDirectInputLineViewController::replyWithMessages(
    const QList<RTMessageTwitterPtr> &messages)
{
    replyWithMessages(messages, false);
}

void RTTwitterDirectInputLineViewController::replyAllWithMessages(
    const QList<RTMessageTwitterPtr> &messages)
{
    replyWithMessages(messages, true);
}

void RTTwitterDirectInputLineViewController::replyWithMessages(
    const QList<RTMessageTwitterPtr> &messages, bool toAll)
{
    if (messages.isEmpty())
        return;
    prepareTemporaryLine();
    if (messages.size() == 1) {
        m_inReplyToStatusIdString = messages.first()->messageId();
        setRecipient(QStringLiteral("di_at"), authorOf(messages.first()));
    }
    QString ownName;
    if (const auto account = twitterAccount(); account && account->myself())
        ownName = QStringLiteral("@") + account->myself()->screenName().toLower();

    QString text;
    QStringList tags;
    QStringList mentioned;
    for (qsizetype i = 0; i < qMin<qsizetype>(messages.size(), 4); ++i) {
        const RTMessageTwitterPtr &message = messages.at(i);
        if (!message)
            continue;
        if (message->isPrivate()) {
            setupDirectMessageWithTwitterUser(authorOf(messages.last()));
            dealWithMessage(m_text);
            setSelectedRange(0);
            emit focusRequested();
            return;
        }
        text += QStringLiteral(" @") + screenNameOf(message);
        for (const QString &tag : RTMessageTextParser::hashtagsInMessageText(message->body()))
            if (!containsIgnoringCase(tags, tag))
                tags << tag;
        if (toAll) {
            for (const QString &name :
                 RTMessageTextParser::screenNamesInMessageText(message->body())) {
                if (containsIgnoringCase(mentioned, name) || name.toLower() == ownName)
                    continue;
                mentioned << name;
            }
        }
    }
    for (const QString &name : mentioned)
        text += QStringLiteral(" ") + name;
    text = text.mid(1) + QStringLiteral(" ");
    const qsizetype caret = text.size();
    for (const QString &tag : tags)
        text += QStringLiteral(" ") + tag;
    setTextAndCaret(text, caret);
}

void RTTwitterDirectInputLineViewController::quoteWithMessages(
    const QList<RTMessageTwitterPtr> &messages)
{
    if (messages.isEmpty() || !messages.first())
        return;
    const RTMessageTwitterPtr message = messages.first();
    setAvoidAutocompletePopup(true);
    prepareTemporaryLine();
    const int syntax = SettingsStore::shared().objectForKey(key(RTMessageQuoteSyntaxKey)).toInt();
    const QStringList formats = quoteFormats();
    const QString format =
        syntax >= 0 && syntax < formats.size() ? formats.at(syntax) : QStringLiteral("%@");
    const QString text = applyQuoteFormat(format, message->body(), screenNameOf(message));
    if (message->isPrivate())
        setupDirectMessageWithTwitterUser(authorOf(message));
    setTextAndCaret(text, text.size());
    setAvoidAutocompletePopup(false);
}

void RTTwitterDirectInputLineViewController::copyForwardWithMessages(
    const QList<RTMessageTwitterPtr> &messages)
{
    if (messages.isEmpty() || !messages.first())
        return;
    const RTMessageTwitterPtr message = messages.first();
    prepareTemporaryLine();
    const QString text = QStringLiteral("RT @%1 %2 ").arg(screenNameOf(message), message->body());
    if (message->isPrivate())
        setupDirectMessageWithTwitterUser(authorOf(message));
    setTextAndCaret(text, text.size());
}

void RTTwitterDirectInputLineViewController::directForMessages(
    const QList<RTMessageTwitterPtr> &messages)
{
    if (messages.isEmpty() || !messages.first())
        return;
    prepareTemporaryLine();
    setupDirectMessageWithTwitterUser(authorOf(messages.first()));
    setTextAndCaret(QString(), 0);
}

void RTTwitterDirectInputLineViewController::startDirectMessage()
{
    setText(QStringLiteral("d @"));
    m_isDirect = true;
    setSelectedRange(m_text.size());
    emit focusRequested();
    dealWithMessage(m_text);
}

void RTTwitterDirectInputLineViewController::setupDirectMessageWithTwitterUser(
    const RTUserTwitterPtr &user)
{
    if (!user)
        return;
    setRecipient(QStringLiteral("di_dm"), user);
    m_isDirect = true;
    m_directMessageRecipient = user->screenName();
    emit recipientChanged();
}

void RTTwitterDirectInputLineViewController::clearRecipient()
{
    if (m_text.startsWith(QLatin1Char('@'))) {
        const qsizetype space = m_text.indexOf(QLatin1Char(' '));
        if (space >= 0) {
            setText(m_text.mid(space + 1));
            RTDirectInputLineViewController::dealWithMessage(m_text);
        }
    }
    m_inReplyToStatusIdString.clear();
    m_actionImage.clear();
    m_recipientImageUrl.clear();
    m_recipientToolTip.clear();
    m_directMessageRecipient.clear();
    m_isDirect = false;
    emit recipientChanged();
    RTDirectInputLineViewController::dealWithMessage(m_text);
}

void RTTwitterDirectInputLineViewController::checkDirectMessageCompletion()
{
    if (m_text.size() <= 2 || !m_text.startsWith(QLatin1String("d ")))
        return;
    const QList<RTParseRecord> mentions = RTMessageTextParser::mentionRangesInMessageText(m_text);
    for (const RTParseRecord &mention : mentions) {
        if (mention.location != 2)
            continue;
        const qsizetype end = mention.end();
        if (end >= m_text.size() || m_text.at(end) != QLatin1Char(' ') || mention.value.isEmpty())
            return;
        const QString name = mention.value.toLower();
        RTUserTwitterPtr known;
        if (const auto account = twitterAccount()) {
            const auto users = account->usersDictionary();
            for (const RTUserTwitterPtr &user : users) {
                if (user && user->screenName().toLower() == name) {
                    known = user;
                    break;
                }
            }
        }
        QString rest = m_text.mid(end).trimmed();
        if (!rest.isEmpty())
            rest += QLatin1Char(' ');
        setText(rest);
        setSelectedRange(m_text.size());
        m_isDirect = true;
        m_actionImage = QStringLiteral("di_dm");
        m_recipientImageUrl = known ? known->profileImageUrl() : QString();
        m_recipientToolTip = name;
        m_directMessageRecipient = name;
        emit recipientChanged();
        return;
    }
}

void RTTwitterDirectInputLineViewController::dealWithMessage(const QString &)
{
    checkDirectMessageCompletion();
    RTDirectInputLineViewController::dealWithMessage(m_text);
    if (m_text.isEmpty() && !m_isDirect && !m_actionImage.isEmpty())
        clearRecipient();
    emit mentionsPopupRequested(isShowingMentionsPopupNeeded());
}

void RTTwitterDirectInputLineViewController::clearDirectInputLine()
{
    RTDirectInputLineViewController::clearDirectInputLine();
    clearRecipient();
}

void RTTwitterDirectInputLineViewController::send()
{
    if (!isReadyToPost())
        return;
    QString text = m_text;
    if (const qsizetype prefix = directPrefixLength(text); prefix > 0) {
        m_isDirect = true;
        const QStringList names = RTMessageTextParser::mentionsInMessageText(text);
        if (!names.isEmpty())
            m_directMessageRecipient = names.first();
        text = text.mid(prefix).trimmed();
    }
    if (m_isDirect && m_directMessageRecipient.isEmpty())
        return; // "d @" alone names nobody: keep the text for the user to finish.
    QVariantMap sentState = stateDictionary();
    sentState.insert(key(kStateText), m_text);
    postToAccount(text, sentState);
    finishSend();
}

void RTTwitterDirectInputLineViewController::postToAccount(const QString &text,
                                                           const QVariantMap &sentState)
{
    const auto account = twitterAccount();
    if (!account)
        return;
    if (m_isDirect)
        account->sendDirectMessageWithText(text, m_directMessageRecipient, sendDelegate(sentState));
    else
        account->sendStatus(text, m_inReplyToStatusIdString, sendDelegate(sentState));
}

bool RTTwitterDirectInputLineViewController::validateMenuItem(int tag) const
{
    if (tag == 101)
        return !m_inReplyToStatusIdString.isEmpty() || m_isDirect;
    return RTDirectInputLineViewController::validateMenuItem(tag);
}

QVariantMap RTTwitterDirectInputLineViewController::stateDictionary() const
{
    QVariantMap state = RTDirectInputLineViewController::stateDictionary();
    state.insert(key(kStateInReplyTo), m_inReplyToStatusIdString);
    state.insert(key(kStateIsDirect), m_isDirect);
    state.insert(key(kStateRecipient), m_directMessageRecipient);
    state.insert(key(kStateRecipientPic), m_recipientImageUrl);
    return state;
}

void RTTwitterDirectInputLineViewController::setupStateWithStateDictionary(const QVariantMap &state)
{
    clearDirectInputLine();
    setText(state.value(key(kStateText)).toString());
    m_inReplyToStatusIdString = state.value(key(kStateInReplyTo)).toString();
    m_isDirect = state.value(key(kStateIsDirect)).toBool();
    if (m_isDirect || !m_inReplyToStatusIdString.isEmpty()) {
        m_directMessageRecipient = state.value(key(kStateRecipient)).toString();
        m_actionImage = m_isDirect ? QStringLiteral("di_dm") : QStringLiteral("di_at");
        m_recipientImageUrl = state.value(key(kStateRecipientPic)).toString();
        m_recipientToolTip = m_directMessageRecipient;
        emit recipientChanged();
    }
    RTDirectInputLineViewController::dealWithMessage(m_text);
}
