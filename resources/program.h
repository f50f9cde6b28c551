#pragma once

// The program's names, version and resource numbers, for the About window
// and the executable's resources. Plain macros, so that the resource
// compiler reads them too.

#include "version.h"

#define VENTROLIK_COMPANY "Kestrova"
#define VENTROLIK_PRODUCT "Project1"
#define VENTROLIK_NAME "Ventrolik"
#define VENTROLIK_EXE "Ventrolik.exe"
#define VENTROLIK_AUTHOR "Tamrelo"
// Names the desktop entry, the software-centre data and the icon on Linux.
#define VENTROLIK_APP_ID "org.kestrova.Ventrolik"

// The program icon among the executable's resources (ventrolik.rc).
#define VENTROLIK_ICON_ID 1
