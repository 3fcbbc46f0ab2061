#pragma once

// Registers the archive classes and request operations of the other networks.
void registerNetworksClasses();
