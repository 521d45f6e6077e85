#include "charmap/processor.h"


bool
processor_has_avx2()
{
#if defined(__x86_64__) || defined(__i386__)
	static const bool has = __builtin_cpu_supports("avx2")
			&& __builtin_cpu_supports("bmi") && __builtin_cpu_supports("bmi2")
			&& __builtin_cpu_supports("popcnt");
	return has;
#else
	return false;
#endif
}


bool
processor_has_vbmi2()
{
#if defined(__x86_64__) || defined(__i386__)
	static const bool has = __builtin_cpu_supports("avx512f")
			&& __builtin_cpu_supports("avx512bw")
			&& __builtin_cpu_supports("avx512vl")
			&& __builtin_cpu_supports("avx512vbmi")
			&& __builtin_cpu_supports("avx512vbmi2");
	return has;
#else
	return false;
#endif
}
