/* Declarations of the module's 39 entry points, generated from entry_points.inc. Every argument is
 * one 32-bit word (an integer or a pointer of the 32-bit host); the calling convention is the
 * platform's default C one (cdecl). Usable from C and C++. */
#ifndef EPL2_ENTRY_POINTS_H
#define EPL2_ENTRY_POINTS_H

#include <stdint.h>

#define EPL2_WORDS_1 uint32_t
#define EPL2_WORDS_2 EPL2_WORDS_1, uint32_t
#define EPL2_WORDS_3 EPL2_WORDS_2, uint32_t
#define EPL2_WORDS_4 EPL2_WORDS_3, uint32_t
#define EPL2_WORDS_5 EPL2_WORDS_4, uint32_t
#define EPL2_WORDS_6 EPL2_WORDS_5, uint32_t
#define EPL2_WORDS_7 EPL2_WORDS_6, uint32_t
#define EPL2_WORDS_8 EPL2_WORDS_7, uint32_t
#define EPL2_WORDS_9 EPL2_WORDS_8, uint32_t
#define EPL2_WORDS_10 EPL2_WORDS_9, uint32_t
#define EPL2_WORDS_11 EPL2_WORDS_10, uint32_t
#define EPL2_WORDS_12 EPL2_WORDS_11, uint32_t
#define EPL2_WORDS_13 EPL2_WORDS_12, uint32_t

/* Function pointer types, one per entry point: epl2_<name>_fn. */
#define EPL2_ENTRY(result, name, words) typedef result (*epl2_##name##_fn)(EPL2_WORDS_##words);
#include "entry_points.inc"
#undef EPL2_ENTRY

#endif
