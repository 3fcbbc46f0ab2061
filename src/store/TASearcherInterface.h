#pragma once

// What the data manager needs of the shared searcher, which the Twitter layer builds and
// hands over (setSearcher) when it starts.
class TASearcherInterface
{
public:
    virtual ~TASearcherInterface() = default;
    virtual void start() = 0;
};
