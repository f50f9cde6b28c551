// Linked into each Windows program and library, which carry the C++ runtime
// inside them. libstdc++ throws its errors through helper functions that
// sit in one object file with all the others; taking any of them takes its
// exception classes, their strings, and a random number generator with
// them, and its handler for an exception that escapes everything brings
// the demangler along. Together they are most of a small program. These
// throw the same kinds of error with the library's message and nothing
// more: they meet `catch (const std::exception&)` as the originals do.

#include <cstdlib>
#include <exception>
#include <new>
#include <string>
#include <typeinfo>

namespace {

class Failure final : public std::exception {
public:
    explicit Failure(const char* what) : what_(what) {}
    const char* what() const noexcept override { return what_; }

private:
    const char* what_; // the library's own words, which stay for the run
};

} // namespace

// The names are libstdc++'s; it declares them in bits/functexcept.h.
namespace std {
// clang-format off
void __throw_bad_exception() { throw std::bad_exception(); }
void __throw_bad_alloc() { throw std::bad_alloc(); }
void __throw_bad_array_new_length() { throw std::bad_array_new_length(); }
void __throw_bad_cast() { throw std::bad_cast(); }
void __throw_bad_typeid() { throw std::bad_typeid(); }
void __throw_logic_error(const char* what) { throw Failure(what); }
void __throw_domain_error(const char* what) { throw Failure(what); }
void __throw_invalid_argument(const char* what) { throw Failure(what); }
void __throw_length_error(const char* what) { throw Failure(what); }
void __throw_out_of_range(const char* what) { throw Failure(what); }
void __throw_out_of_range_fmt(const char* what, ...) { throw Failure(what); }
void __throw_runtime_error(const char* what) { throw Failure(what); }
void __throw_range_error(const char* what) { throw Failure(what); }
void __throw_overflow_error(const char* what) { throw Failure(what); }
void __throw_underflow_error(const char* what) { throw Failure(what); }
void __throw_system_error(int) { throw Failure("system error"); }
// clang-format on
} // namespace std

// From GCC 13 on, one member of std::string and of std::wstring is left to
// the library even in C++20, and the object that holds it holds every other
// member too, with what they throw: that one member is made here instead.
#if defined(_GLIBCXX_RELEASE) && _GLIBCXX_RELEASE >= 13 && _GLIBCXX_USE_CXX11_ABI
template void std::string::_M_replace_cold(char*, size_type, const char*, const size_type, const size_type);
template void std::wstring::_M_replace_cold(wchar_t*, size_type, const wchar_t*, const size_type, const size_type);
#endif

// An exception that escapes everything ends the process at once: ours never
// do, as the program's error boundary and the library's exports catch them.
namespace __gnu_cxx {
void __verbose_terminate_handler()
{
    std::abort();
}
} // namespace __gnu_cxx
