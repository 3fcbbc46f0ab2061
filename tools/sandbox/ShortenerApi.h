#pragma once

#include "SandboxCall.h"

class SandboxServer;

// Shortener answers beyond shortening itself: tr.im's destination look-up, account link
// list and credential check (on api.trim.localhost).
class ShortenerApi
{
public:
    explicit ShortenerApi(SandboxServer &server);
    bool handle(SandboxCall &call);

private:
    SandboxServer &m_server;
};
