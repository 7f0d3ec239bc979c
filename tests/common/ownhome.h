#pragma once

#include <QString>

// The home folder of the user running the tests, before the test program
// moved its own home into a temporary folder (ownhome.cpp).
QString UserHome();
