#include "DllFunction.h"

#include "Backend.h"
#include "Error.h"

#include <map>
#include <string>

namespace runtime {

void prepareLibrary(const char* library)
{
    backend::prepareLibrary(library);
}

void* DllFunctionCall(const char* library, const char* name)
{
    // A library stays loaded to the end of the run once any of its functions
    // has been bound; a failed load is tried again at the next call.
    static std::map<std::string, void*> loaded;

    std::string reason;
    void*& handle = loaded[library];
    if (!handle)
        handle = backend::loadLibrary(library, reason);
    if (!handle)
        throw Error("cannot load '" + std::string(library) + "': " + reason);

    void* address = backend::findSymbol(handle, name, reason);
    if (!address)
        throw Error("cannot find '" + std::string(name) + "' in '" + library + "': " + reason);
    return address;
}

} // namespace runtime
