#include "support/SandboxSuite.h"

#include "foundation/HostProfile.h"
#include "http/HttpRequest.h"
#include "network/OAuthClock.h"

void SandboxSuite::startSandbox(int users)
{
    sandbox = new SandboxFixture;
    SandboxFixture::Options options;
    options.users = users;
    started = sandbox->start(options);
}

void SandboxSuite::TearDownTestSuite()
{
    delete sandbox;
    sandbox = nullptr;
    started = false;
}

bool SandboxSuite::useSandbox()
{
    if (!started || !sandbox->writeFaults(QByteArray()))
        return false;
    HostProfile::setCurrent(sandbox->profile());
    HttpRequest::setDefaultCaBundle(sandbox->caBundle());
    OAuthClock::setTimestampOffset(0);
    return true;
}

void SandboxSuite::leaveSandbox()
{
    OAuthClock::setTimestampOffset(0);
    HostProfile::setCurrent(HostProfile::real());
    HttpRequest::setDefaultCaBundle(QString());
}
