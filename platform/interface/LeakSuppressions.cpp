/*
 * The leak checker's exceptions in sanitizer builds: fontconfig loses a few
 * hundred bytes while it reads its configuration, once per process, and
 * frees them in no call of its own.
 */
#if defined(__SANITIZE_ADDRESS__)
extern "C" __attribute__((visibility("default"))) const char*
__lsan_default_suppressions()
{
	return "leak:libfontconfig.so\n";
}
#endif
