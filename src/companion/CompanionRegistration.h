#pragma once

// Registers the companion service's request operation class.
void registerCompanionRequestClasses();
