#pragma once

// Functions of a separate library, bound by library file name and exported
// name at their first call:
//
//     DllFunction<decltype(::IsReady)> isReady{"EXAMPLE.DLL", "IsReady"};  // nothing loaded yet
//     if (isReady() & 0xFFFF) { ... }                     // loads, looks up, caches, calls
//
// The function's type, calling convention included, comes from the
// library's own declaration, so that caller and library can't disagree.

namespace runtime {

// Loads `library` (once per process) and returns the address of its export
// `name`. Throws runtime::Error naming the library or the export, with the
// system's reason, when either can't be found.
void* DllFunctionCall(const char* library, const char* name);

// Looks at `library` ahead of its first call, where the system checks a
// library apart before loading it: the check then runs beside whatever the
// program does meanwhile (its window's construction) and is ready by the
// first call. Nothing is loaded or bound here.
void prepareLibrary(const char* library);

using Binder = void* (*)(const char* library, const char* name);

template <typename Function>
class DllFunction {
public:
    using Pointer = Function*;

    constexpr DllFunction(const char* library, const char* name, Binder bind = DllFunctionCall)
        : library_(library),
          name_(name),
          bind_(bind)
    {
    }

    template <typename... Args>
    auto operator()(Args... args)
    {
        if (!address_)
            address_ = reinterpret_cast<Pointer>(bind_(library_, name_));
        return address_(args...);
    }

private:
    const char* library_;
    const char* name_;
    Binder bind_;
    Pointer address_ = nullptr;
};

} // namespace runtime
