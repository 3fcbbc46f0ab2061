#include "sharing/RTAutocompletePopupWindowController.h"

#include "sharing/RTTwitterDirectInputLineViewController.h"
#include "text/RTMessageTextParser.h"
#include "twitter/RTServiceTwitter.h"

#include <algorithm>

namespace {

// Lower case without accents: "beginswith[cd]".
QString folded(const QString &s)
{
    const QString decomposed = s.normalized(QString::NormalizationForm_KD);
    QString out;
    out.reserve(decomposed.size());
    for (const QChar c : decomposed)
        if (c.category() != QChar::Mark_NonSpacing && c.category() != QChar::Mark_Enclosing)
            out += c;
    return out.toCaseFolded();
}

} // namespace

RTAutocompletePopupWindowController::RTAutocompletePopupWindowController(QObject *parent)
    : QObject(parent)
{
}

QList<RTAutocompleteUserObject>
RTAutocompletePopupWindowController::candidates(const QList<RTUserTwitterPtr> &users,
                                                const QString &filter, int maxCount)
{
    QList<RTUserTwitterPtr> kept;
    const QString prefix = folded(filter);
    for (const RTUserTwitterPtr &user : users) {
        if (!user || user->isPartialUser() || user->screenName().isEmpty())
            continue;
        if (!prefix.isEmpty() && !folded(user->screenName()).startsWith(prefix))
            continue;
        kept << user;
    }
    std::sort(kept.begin(), kept.end(), [](const RTUserTwitterPtr &a, const RTUserTwitterPtr &b) {
        if (a->priority() != b->priority())
            return a->priority() > b->priority();
        return a->screenName().compare(b->screenName(), Qt::CaseInsensitive) < 0;
    });
    QList<RTAutocompleteUserObject> rows;
    for (const RTUserTwitterPtr &user : kept) {
        if (rows.size() >= maxCount)
            break;
        rows << RTAutocompleteUserObject{user->longName(), user->screenName(),
                                         user->profileImageUrl()};
    }
    return rows;
}

bool RTAutocompletePopupWindowController::findMention()
{
    m_mentionLocation = -1;
    m_mentionLength = 0;
    m_filterString.clear();
    if (!m_line)
        return false;
    const QString text = m_line->text();
    const qsizetype caret = m_line->selectionStart() + m_line->selectionLength();
    if (caret <= 0 || caret > text.size())
        return false;
    for (const RTParseRecord &mention : RTMessageTextParser::mentionRangesInMessageText(text)) {
        if (mention.location <= caret - 1 && caret - 1 < mention.end()) {
            m_mentionLocation = mention.location;
            m_mentionLength = mention.length;
            m_filterString = mention.value;
            return true;
        }
    }
    if (text.at(caret - 1) == QLatin1Char('@')) {
        m_mentionLocation = caret - 1;
        m_mentionLength = 1;
        return true;
    }
    return false;
}

bool RTAutocompletePopupWindowController::showWithDirectInput(RTDirectInputLineViewController *line)
{
    if (m_shown && m_line == line) {
        refilter();
        return m_shown;
    }
    if (m_line && m_line != line)
        disconnect(m_line, nullptr, this, nullptr);
    m_line = line;
    if (line)
        connect(line, &QObject::destroyed, this, [this] { hide(); });
    refilter();
    return m_shown;
}

void RTAutocompletePopupWindowController::refilter()
{
    if (!findMention()) {
        hide();
        return;
    }
    QList<RTUserTwitterPtr> users;
    if (const auto twitter = qobject_cast<RTTwitterDirectInputLineViewController *>(m_line.data()))
        if (const auto account = twitter->twitterAccount())
            users = account->usersDictionary().values();
    m_rows = candidates(users, m_filterString);
    emit rowsChanged();
    setShown(!m_rows.isEmpty());
}

void RTAutocompletePopupWindowController::hide()
{
    setShown(false);
}

void RTAutocompletePopupWindowController::setShown(bool shown)
{
    if (m_shown == shown)
        return;
    m_shown = shown;
    emit shownChanged(shown);
}

void RTAutocompletePopupWindowController::chooseRow(int row)
{
    if (!m_line || row < 0 || row >= m_rows.size() || m_mentionLocation < 0)
        return;
    QString text = m_line->text();
    if (m_mentionLocation + m_mentionLength > text.size())
        return;
    const QString inserted = QStringLiteral("@%1 ").arg(m_rows.at(row).screenName.toLower());
    text.replace(m_mentionLocation, m_mentionLength, inserted);
    const qsizetype caret = m_mentionLocation + inserted.size();
    hide();
    m_line->setText(text);
    m_line->setSelectedRange(caret);
    m_line->dealWithMessage(m_line->text());
    hide();
}
