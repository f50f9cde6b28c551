#pragma once

// The program's version and names, for the About window and the executable's
// version data. Plain macros, so that resource compilers can read them too.

#define VENTROLIK_VERSION "1.00"
#define VENTROLIK_VERSION_NUMBERS 1, 0, 0, 0
#define VENTROLIK_COMPANY "Kestrova"
#define VENTROLIK_PRODUCT "Project1"
#define VENTROLIK_NAME "Ventrolik"
#define VENTROLIK_AUTHOR "Tamrelo"
