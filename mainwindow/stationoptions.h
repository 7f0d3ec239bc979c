#pragma once

#include <QString>

// How the program was asked to start: what the command line chose for the
// window. Empty texts leave the remembered choice (or the form's default).
struct StationOptions
{
    QString portName; // a platform name (ttyUSB0) or a device path
    QString devAddr;  // "0x80"
    QString interval; // whole seconds, as the interval field takes them
    bool isConnect = false;
    bool isMeasure = false;   // open, then start a run once the instrument answers
    bool isReconnect = false; // keep the link alive unattended
    bool isHeadless = false;  // no screen: no window is shown and no box ever
};
