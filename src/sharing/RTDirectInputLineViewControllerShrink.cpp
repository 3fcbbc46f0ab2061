// Shrinking the text of a compose line through the shrinking service.
#include "sharing/RTDirectInputLineViewController.h"

#include "foundation/OperationQueue.h"
#include "sharing/RTTweetShrinkRequestOperation.h"

#include <QPointer>

bool RTDirectInputLineViewController::shrinkPost()
{
    if (isShrinking() || m_text.trimmed().isEmpty())
        return false;
    auto shrink = std::make_shared<RTTweetShrinkRequestOperation>();
    shrink->setTextToShrink(m_text);
    QPointer<RTDirectInputLineViewController> self(this);
    shrink->setFinished([self](const RTTweetShrinkRequestOperation &done) {
        if (self)
            self->finishedShrinkingWithTweetShrink(done);
    });
    m_shrink = shrink;
    setPostEnabled(false);
    emit readOnlyChanged(true);
    emit shrinkingChanged(true);
    OperationQueue::forType(OperationQueue::ImmediateRequests).addOperation(shrink);
    return true;
}

void RTDirectInputLineViewController::finishedShrinkingWithTweetShrink(
    const RTTweetShrinkRequestOperation &shrink)
{
    if (m_shrink.get() != &shrink)
        return; // an answer to a request this line gave up
    m_shrink.reset();
    const QString shrunk = shrink.shrunkenText().trimmed();
    // What the user wrote stays unless there is something better to put in its place.
    const bool replaced = !shrunk.isEmpty() && shrunk.size() < kHardTextCeiling;
    if (replaced) {
        setText(shrunk);
        setSelectedRange(m_text.size());
    }
    dealWithMessage(m_text);
    emit readOnlyChanged(false);
    emit shrinkingChanged(false);
    // Last, so the reason is what the view shows once the line is usable again.
    if (!replaced) {
        const QString reason = shrink.failureReason();
        emit shrinkFailed(reason.isEmpty() ? tr("The shrinking service gave no shorter text")
                                           : reason);
    }
}

void RTDirectInputLineViewController::cancelShrink()
{
    if (!m_shrink)
        return;
    const std::shared_ptr<RTTweetShrinkRequestOperation> shrink = std::move(m_shrink);
    m_shrink.reset();
    shrink->cancel();
}
