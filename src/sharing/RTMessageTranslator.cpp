#include "sharing/RTMessageTranslator.h"

#include "foundation/OperationQueue.h"
#include "model/RTMessageHooks.h"
#include "model/RTMessageTwitter.h"
#include "platform/TAUtility.h"
#include "sharing/RTTwitterMessageTranslationRequestOperation.h"

void RTMessageTranslator::install()
{
    // Keep the hooks other layers installed.
    RTMessageHooks hooks = *RTMessageHooks::current();
    hooks.requestTranslation = &RTMessageTranslator::requestTranslation;
    RTMessageHooks::install(std::move(hooks));
}

void RTMessageTranslator::requestTranslation(const std::shared_ptr<RTMessage> &message)
{
    if (!message || message->body().trimmed().isEmpty())
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
    OperationQueue::forType(OperationQueue::ImmediateRequests).addOperation(operation);
}
