#pragma once

// The port library's functions use the standard calling convention of 32-bit
// Windows. A mismatch between the library and its caller corrupts the stack
// without a word, so both sides take it from here.
#if defined(_WIN32) && defined(__i386__)
#define RT_STDCALL __stdcall
#else
#define RT_STDCALL
#endif
