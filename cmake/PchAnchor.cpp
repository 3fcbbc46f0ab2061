// Only here so that the shared precompiled header has a target to belong to.
