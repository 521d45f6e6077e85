/*
 * A loadable image that is no add-on: it exports something, but no
 * process_refs.
 */
extern "C" __attribute__((visibility("default"))) int
textwend_not_an_add_on()
{
	return 0;
}
