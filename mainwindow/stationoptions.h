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
    // The fleet's server (postgresql://USER@HOST[:PORT]/DBNAME) and this
    // station's name there; empty: the remembered choice.
    QString server = {};
    QString stationName = {};
    bool isOffice = false; // a viewer of the server: no port, no upload
};
