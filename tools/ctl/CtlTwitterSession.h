#pragma once

#include "model/RTMessage.h"

#include <QString>
#include <QTextStream>

class RTServiceTwitter;

// What the commands that talk to Twitter through the account code share: the host
// profile, the keyring, the registered classes, and how a message is printed.
namespace CtlTwitterSession {

// A profile file, "real", or a name looked up as $XDG_CONFIG_HOME/Talvo/hosts/NAME.conf
// and then as the profile `make NAME` writes ($XDG_DATA_HOME/talvo-NAME/NAME.conf).
// Installs it (and its CA bundle), the desktop keyring and the classes; false with a
// message on err when the profile cannot be read.
bool setUp(const QString &profileName, QTextStream &err);

// The flag bits of a message in words ("home mention seen"), in bit order.
[[nodiscard]] QString flagWords(const RTMessage &message);

} // namespace CtlTwitterSession
