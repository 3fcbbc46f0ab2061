#pragma once

// Registers the archive classes of the accounts layer (every service kind but Twitter)
// with ArchiveClassRegistry. Safe to call more than once.
void registerAccountArchiveClasses();

#include "accounts/RTService.h"

// A new service of the named class ("RTServiceBitly"), built by its registered factory
// with every default in place; nullptr for a name that is not a registered service class.
[[nodiscard]] RTServicePtr createServiceOfClass(const QString &className);
