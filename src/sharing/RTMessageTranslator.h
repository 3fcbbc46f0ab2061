#pragma once

#include <memory>

class RTMessage;

// Starts the translation the message model asks for (the user's Translate command and the
// automatic translations of the companion service's filters): a tweet goes through the
// Twitter message translation with its tokens protected, any other message with its body
// as plain text. Installed as the model's translation hook at start-up.
class RTMessageTranslator
{
public:
    static void install();
    // Queues the translation of one message on the immediate queue; main thread only.
    static void requestTranslation(const std::shared_ptr<RTMessage> &message);
};
