#include "sharing/RTMessageTranslator.h"

#include "foundation/MainThread.h"
#include "foundation/OperationQueue.h"
#include "model/RTMessageHooks.h"
#include "model/RTMessageTwitter.h"
#include "platform/TAUtility.h"
#include "sharing/RTTwitterMessageTranslationRequestOperation.h"

#include <QSet>

void RTMessageTranslator::install()
{
    // Keep the hooks other layers installed.
    RTMessageHooks hooks = *RTMessageHooks::current();
    hooks.requestTranslation = &RTMessageTranslator::requestTranslation;
    RTMessageHooks::install(std::move(hooks));
}

namespace {
// Messages whose translation is on the wire; main thread only.
QSet<const RTMessage *> &inFlight()
{
    static QSet<const RTMessage *> messages;
    return messages;
}
} // namespace

void RTMessageTranslator::requestTranslation(const std::shared_ptr<RTMessage> &message)
{
    if (!message || message->body().trimmed().isEmpty())
        return;
    // Turning a translation off asks for nothing, and one request per message is enough.
    if (!message->isTranslated() && !message->isAutotranslated())
        return;
    if (inFlight().contains(message.get()))
        return;
    std::shared_ptr<RTTextTranslationRequestOperation> operation;
    if (auto tweet = std::dynamic_pointer_cast<RTMessageTwitter>(message)) {
        auto twitter = std::make_shared<RTTwitterMessageTranslationRequestOperation>();
        twitter->setTwitterMessage(tweet);
        operation = twitter;
    } else {
        operation = std::make_shared<RTTextTranslationRequestOperation>();
        operation->setTextToTranslate(message->body());
        const std::weak_ptr<RTMessage> weak = message;
        operation->setFinished([weak](const QString &translated) {
            const std::shared_ptr<RTMessage> target = weak.lock();
            if (!target || translated.isEmpty())
                return;
            target->setTranslatedBody(translated);
            target->processBody();
        });
    }
    // The settings are read here, on the main thread, not on the worker.
    operation->setTargetLanguage(TAUtility::preferedSystemLanguage());
    const RTMessage *key = message.get();
    inFlight().insert(key);
    // Runs on the worker after the answer was handed to the main thread, so the message
    // is free again once its translation (or its failure) is known there.
    operation->setCompletionBlock(
        [key] { runOnMainThread([key] { inFlight().remove(key); }, false); });
    OperationQueue::forType(OperationQueue::ImmediateRequests).addOperation(operation);
}
