// Phase marks for timing an installation. Built with -DZL_TRACE=ON, each
// mark appends "phase high low" (the system time as a FILETIME) to the file
// that ZL_TRACE_FILE names. Otherwise the marks compile to nothing.
#ifndef ZELTRA_SHELL_TRACE_H
#define ZELTRA_SHELL_TRACE_H

#ifdef ZL_TRACE
void TraceMark(const char *phase);
#define ZL_MARK(phase) TraceMark(phase)
#else
#define ZL_MARK(phase) ((void)0)
#endif

#endif
