#pragma once

#include <QByteArray>
#include <QList>

// Cuts the bytes a master sends into request frames: as soon as the function
// code (and for 0x10 the byte count) says how long the frame is, and for
// anything else when the line falls silent.
class FrameCutter
{
public:
    // Takes newly received bytes; returns the frames they complete.
    QList<QByteArray> feed(const QByteArray &bytes);

    // The line fell silent: whatever is left is one frame, complete or not.
    QByteArray flush();

    bool isEmpty() const { return pending.isEmpty(); }

    // Length of the request frame that starts with head: 0 while head is too
    // short to tell, -1 when the function code gives no length.
    static int impliedLength(const QByteArray &head);

private:
    QByteArray pending;
};
