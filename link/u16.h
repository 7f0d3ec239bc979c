#pragma once

#include <QtGlobal>

// Register addresses, values and counts all travel as unsigned 16-bit words.
using u16 = quint16;
