#pragma once

class HttpRequest;

// Receiver of a request's callbacks. Every method is optional (the defaults do nothing).
// requestFinished() and requestFailed() come on the main thread after an asynchronous
// run; requestWillCancelLoad() comes on the thread that runs the exchange, whenever the
// engine is about to discard a response (cancellation, a redirect, an authentication
// retry, a time-out), while the response headers can still be read.
// The request does not own its delegate: clear it with setDelegate(nullptr) before the
// delegate goes away.
class HttpRequestDelegate
{
public:
    virtual ~HttpRequestDelegate() = default;
    virtual void requestFinished(HttpRequest *request);
    virtual void requestFailed(HttpRequest *request);
    virtual void requestWillCancelLoad(HttpRequest *request);
};
