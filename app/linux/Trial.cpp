// ventrolik-trial LIBRARY: loads the library and ends, for the program
// beside it that is about to load it. How this process ends (a crash, or
// the loader's own exit) tells that program whether the library would kill
// it; what the loader says goes to standard error.

#include <dlfcn.h>

#include <csignal>
#include <initializer_list>

int main(int argc, char** argv)
{
    if (argc != 2)
        return 2;
    // A crash is the system's to report, whatever handler a build's
    // run-time checks put in place.
    for (const int signal : {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT})
        std::signal(signal, SIG_DFL);
    dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
    return 0;
}
