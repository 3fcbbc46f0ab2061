#pragma once

// A tree node that lists messages. A message keeps the nodes that hold it, so marking it
// seen adjusts each node's unseen count at once instead of recounting every node.
class RTMessageHolder
{
public:
    virtual ~RTMessageHolder() = default;
    // delta is -1 when a held message became seen, +1 when it became unseen.
    virtual void changeNewMessagesCountBy(int delta) = 0;
};
