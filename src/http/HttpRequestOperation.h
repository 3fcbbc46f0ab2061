#pragma once

#include "foundation/OperationQueue.h"

#include <memory>

class HttpRequest;

// Runs one HttpRequest on an operation queue and delivers its callbacks on the main
// thread. Cancelling the operation cancels the request.
class HttpRequestOperation : public Operation
{
public:
    explicit HttpRequestOperation(std::shared_ptr<HttpRequest> request);
    void main() override;
    [[nodiscard]] std::shared_ptr<HttpRequest> request() const { return m_request; }

private:
    std::shared_ptr<HttpRequest> m_request;
};
