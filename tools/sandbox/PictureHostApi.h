#pragma once

#include "SandboxCall.h"

#include <QStringList>

class SandboxServer;

// The picture hosts' upload APIs (on upload.<name>.localhost): a multipart upload with the
// poster's credentials answers with the XML each host gave, and a link to the picture's
// page on pics.localhost.
class PictureHostApi
{
public:
    explicit PictureHostApi(SandboxServer &server);
    bool handle(SandboxCall &call);

    static QStringList hostNames();

private:
    SandboxServer &m_server;
};
