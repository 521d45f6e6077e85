/*
 * What the processor can do beyond SSE2, which every x86-64 has. The loops
 * that touch every byte of a file ask once and take the widest way it
 * allows; a build for another processor family answers false throughout.
 */
#ifndef CHARMAP_PROCESSOR_H
#define CHARMAP_PROCESSOR_H

// 32-byte registers with byte shuffles (AVX2), and BMI1 and BMI2 for the bit
// loops beside them. A function built for them carries TEXTWEND_AVX2 and is
// called only when the processor has them.
bool processor_has_avx2();

#define TEXTWEND_AVX2 __attribute__((target("avx2,bmi,bmi2,popcnt")))

// 64-byte registers that look up and pack bytes (AVX-512 VBMI2 and what
// comes with it).
bool processor_has_vbmi2();

#endif // CHARMAP_PROCESSOR_H
