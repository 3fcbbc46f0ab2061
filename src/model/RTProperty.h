#pragma once

// A plain record field with its accessor pair: RT_PROPERTY(QString, screenName,
// setScreenName) gives screenName(), setScreenName() and m_screenName (value-initialised).
// Leaves the class in private access.
#define RT_PROPERTY(Type, name, setter)                                                            \
public:                                                                                            \
    [[nodiscard]] const Type &name() const                                                         \
    {                                                                                              \
        return m_##name;                                                                           \
    }                                                                                              \
    void setter(const Type &value)                                                                 \
    {                                                                                              \
        m_##name = value;                                                                          \
    }                                                                                              \
                                                                                                   \
private:                                                                                           \
    Type m_##name{};
