/* The interface of the port library IO.DLL: its three functions, the one
 * place where their types are written. The program's binding, our IO.DLL,
 * the tests' recording IO.DLL and the kernel test's probe all take them from
 * here, so that a change on one side that the other doesn't share no longer
 * compiles. Plain C, for callers in any language.
 *
 * The functions use the standard calling convention of 32-bit Windows. A
 * mismatch between the library and its caller corrupts the stack without a
 * word. */
#ifndef VENTROLIK_IO_H
#define VENTROLIK_IO_H

#if defined(_WIN32) && defined(__i386__)
#define IODLL_CALL __stdcall
#else
#define IODLL_CALL
#endif

/* A library that defines them defines IODLL_EXPORTS first, and exports
 * them undecorated: by name on Linux, and on Windows through a .def file,
 * which link-time optimisation doesn't read, so they are kept for it. */
#if !defined(IODLL_EXPORTS)
#define IODLL_API
#elif defined(_WIN32)
#define IODLL_API __attribute__((used))
#else
#define IODLL_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Nonzero when writes to the parallel port can reach it. Only the low 16
 * bits count. */
IODLL_API int IODLL_CALL IsDriverInstalled(void);
/* Writes a byte to an I/O port. */
IODLL_API void IODLL_CALL PortOut(short port, char value);
/* Writes 16 bits: the low byte to the port, the high byte to the next. */
IODLL_API void IODLL_CALL PortWordOut(short port, short value);

#ifdef __cplusplus
}
#endif

#endif
