#pragma once

#include <QtGlobal>

// The head of one CBOR item read from bytes, moving p past it. False for what a
// well-formed item cannot start with.
struct CborHead
{
    quint8 major = 0;
    bool indefinite = false;
    quint64 value = 0;
};

inline bool readCborHead(const uchar *&p, const uchar *end, CborHead *head)
{
    if (p >= end)
        return false;
    const quint8 first = *p++;
    head->major = first >> 5;
    const quint8 info = first & 0x1f;
    head->indefinite = false;
    if (info < 24) {
        head->value = info;
        return true;
    }
    if (info == 31) {
        head->indefinite = true;
        return head->major >= 2 && head->major <= 5;
    }
    if (info > 27)
        return false;
    const int size = 1 << (info - 24);
    if (end - p < size)
        return false;
    quint64 value = 0;
    for (int i = 0; i < size; ++i)
        value = (value << 8) | *p++;
    head->value = value;
    return true;
}
