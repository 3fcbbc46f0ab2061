#include "ui/compose/TADirectInputLineTextView.h"

#include "foundation/RTGlobalVariables.h"
#include "foundation/SettingsStore.h"
#include "sharing/RTAutocompletePopupWindowController.h"
#include "sharing/RTDirectInputLineViewController.h"
#include "ui/compose/RTAutocompletePopup.h"

#include <QFileInfo>
#include <QImage>
#include <QKeyEvent>
#include <QMimeData>
#include <QTextBlock>

namespace {

bool isPictureFile(const QString &path)
{
    static const QStringList suffixes = {QStringLiteral("jpg"), QStringLiteral("jpeg"),
                                         QStringLiteral("png"), QStringLiteral("gif"),
                                         QStringLiteral("bmp"), QStringLiteral("webp")};
    return suffixes.contains(QFileInfo(path).suffix().toLower());
}

} // namespace

TADirectInputLineTextView::TADirectInputLineTextView(QWidget *parent)
    : QPlainTextEdit(parent)
    , m_popup(new RTAutocompletePopup(this))
{
    setTabChangesFocus(true);
    setAccessibleName(tr("Message text"));
    setPlaceholderText(tr("What's happening?"));
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    setMultiLine(false);
    m_popup->hide();
    connect(this, &QPlainTextEdit::textChanged, this, &TADirectInputLineTextView::userEdited);
}

void TADirectInputLineTextView::setMultiLine(bool multiLine)
{
    m_multiLine = multiLine;
    if (multiLine) {
        setMinimumHeight(fontMetrics().lineSpacing() * 5);
        setMaximumHeight(QWIDGETSIZE_MAX);
        setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    } else {
        const int line = fontMetrics().lineSpacing();
        setMinimumHeight(line + 2 * frameWidth() + 8);
        setMaximumHeight(line * 3 + 2 * frameWidth() + 8);
        setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    }
}

void TADirectInputLineTextView::setController(RTDirectInputLineViewController *controller)
{
    if (m_controller == controller)
        return;
    if (m_controller)
        disconnect(m_controller, nullptr, this, nullptr);
    m_popup->showFor(nullptr);
    m_controller = controller;
    if (!controller) {
        showControllerText(QString());
        return;
    }
    connect(controller, &RTDirectInputLineViewController::textChanged, this,
            &TADirectInputLineTextView::showControllerText);
    connect(controller, &RTDirectInputLineViewController::selectionChanged, this,
            &TADirectInputLineTextView::showControllerSelection);
    connect(controller, &RTDirectInputLineViewController::focusRequested, this,
            [this] { setFocus(Qt::OtherFocusReason); });
    connect(controller, &RTDirectInputLineViewController::mentionsPopupRequested, this,
            &TADirectInputLineTextView::updateCompletion);
    connect(controller, &RTDirectInputLineViewController::readOnlyChanged, this,
            &QPlainTextEdit::setReadOnly);
    showControllerText(controller->text());
    showControllerSelection(controller->selectionStart(), controller->selectionLength());
}

void TADirectInputLineTextView::showControllerText(const QString &text)
{
    if (toPlainText() == text)
        return;
    m_updating = true;
    setPlainText(text);
    moveCursor(QTextCursor::End);
    m_updating = false;
}

void TADirectInputLineTextView::showControllerSelection(qsizetype location, qsizetype length)
{
    QTextCursor cursor = textCursor();
    const qsizetype size = document()->characterCount() - 1;
    cursor.setPosition(int(qBound<qsizetype>(qsizetype(0), location, size)));
    cursor.setPosition(int(qBound<qsizetype>(qsizetype(0), location + length, size)),
                       QTextCursor::KeepAnchor);
    m_updating = true;
    setTextCursor(cursor);
    m_updating = false;
}

void TADirectInputLineTextView::userEdited()
{
    if (m_updating || !m_controller)
        return;
    m_updating = true;
    m_controller->textDidChange(toPlainText(), textCursor().position());
    m_updating = false;
    // The controller may have rewritten the text (a "d @name " prefix).
    showControllerText(m_controller->text());
    if (m_controller->text() != toPlainText())
        return;
    if (m_popup->logic()->isShown())
        m_popup->showFor(m_controller);
}

void TADirectInputLineTextView::updateCompletion(bool show)
{
    if (!m_controller)
        return;
    if (show)
        m_popup->showFor(m_controller);
    else
        m_popup->logic()->hide();
}

bool TADirectInputLineTextView::handleCompletionKey(QKeyEvent *event)
{
    if (!m_popup->isVisible())
        return false;
    switch (event->key()) {
    case Qt::Key_Down:
        m_popup->moveSelection(1);
        return true;
    case Qt::Key_Up:
        m_popup->moveSelection(-1);
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Tab:
        m_popup->chooseCurrent();
        return true;
    case Qt::Key_Escape:
        m_popup->logic()->hide();
        return true;
    default:
        return false;
    }
}

void TADirectInputLineTextView::keyPressEvent(QKeyEvent *event)
{
    if (!m_controller) {
        QPlainTextEdit::keyPressEvent(event);
        return;
    }
    if (handleCompletionKey(event))
        return;
    const bool control = event->modifiers() & Qt::ControlModifier;
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter: {
        const bool sends =
            m_multiLine
                ? control
                : SettingsStore::shared().boolForKey(QString::fromLatin1(RTPostOnEnterKey)) ||
                      control;
        if (sends) {
            m_controller->textDidChange(toPlainText(), textCursor().position());
            m_controller->send();
            return;
        }
        break;
    }
    case Qt::Key_Escape:
        m_controller->clearDirectInputLine();
        return;
    case Qt::Key_U:
        if (control) {
            m_controller->clearMessageText();
            return;
        }
        break;
    case Qt::Key_A:
        if (control) {
            moveCursor(QTextCursor::Start);
            return;
        }
        break;
    case Qt::Key_E:
        if (control) {
            moveCursor(QTextCursor::End);
            return;
        }
        break;
    default:
        break;
    }
    QString typed = event->text();
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
        typed = QStringLiteral("\n");
    if ((!typed.isEmpty() && typed.at(0).isPrint()) || typed == QLatin1String("\n")) {
        const QTextCursor cursor = textCursor();
        if (!m_controller->shouldChangeText(cursor.selectionStart(),
                                            cursor.selectionEnd() - cursor.selectionStart(), typed))
            return;
    }
    QPlainTextEdit::keyPressEvent(event);
}

void TADirectInputLineTextView::focusOutEvent(QFocusEvent *event)
{
    if (m_popup->isVisible() && event->reason() != Qt::PopupFocusReason)
        m_popup->logic()->hide();
    QPlainTextEdit::focusOutEvent(event);
}

QStringList TADirectInputLineTextView::pictureFiles(const QMimeData *source)
{
    QStringList files;
    if (!source->hasUrls())
        return files;
    for (const QUrl &url : source->urls())
        if (url.isLocalFile() && isPictureFile(url.toLocalFile()))
            files << url.toLocalFile();
    return files;
}

bool TADirectInputLineTextView::canInsertFromMimeData(const QMimeData *source) const
{
    return source->hasImage() || !pictureFiles(source).isEmpty() ||
           QPlainTextEdit::canInsertFromMimeData(source);
}

void TADirectInputLineTextView::insertFromMimeData(const QMimeData *source)
{
    const QStringList files = pictureFiles(source);
    if (!files.isEmpty() || source->hasImage()) {
        emit picturesOffered(files, files.isEmpty() ? qvariant_cast<QImage>(source->imageData())
                                                    : QImage());
        return;
    }
    if (!source->hasText() || !m_controller) {
        QPlainTextEdit::insertFromMimeData(source);
        return;
    }
    const QTextCursor cursor = textCursor();
    m_controller->textDidChange(toPlainText(), cursor.position());
    m_controller->setSelectedRange(cursor.selectionStart(),
                                   cursor.selectionEnd() - cursor.selectionStart());
    m_updating = true;
    m_controller->pasteText(source->text());
    m_updating = false;
    showControllerText(m_controller->text());
    showControllerSelection(m_controller->selectionStart(), m_controller->selectionLength());
}
