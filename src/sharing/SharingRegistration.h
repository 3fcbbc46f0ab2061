#pragma once

// Registers the sharing layer's request operations (shorteners, picture hosts) and the
// compose-line controllers of the account kinds it knows. Idempotent.
void registerSharingClasses();
