#pragma once

// Registers every layer's archive classes, request operations and hooks between layers
// that cannot see each other (the text parser behind the model, the restore link-up of
// the Twitter accounts). Programs call it once at start, before the store is used; safe to
// call again.
void registerTalvoLayers();
