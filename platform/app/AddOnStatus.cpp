/*
 * What an add-on said of its selection, kept once per process.
 */
#include <add_on_status.h>

#include <atomic>


namespace {

std::atomic<status_t> sAddOnStatus(B_OK);

} // namespace


void
BPrivate::set_add_on_status(status_t status)
{
	sAddOnStatus.store(status);
}


status_t
BPrivate::add_on_status()
{
	return sAddOnStatus.load();
}


void
BPrivate::reset_add_on_status()
{
	sAddOnStatus.store(B_OK);
}
