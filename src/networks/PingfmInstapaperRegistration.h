#pragma once

// Registers the Ping.fm and Instapaper request operations, the Ping.fm shortener requests
// and the Ping.fm compose line. Programs and tests call it once at start.
void registerPingfmAndInstapaper();
