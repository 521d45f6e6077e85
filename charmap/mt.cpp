/*
 * The entry operations of mt, and the map-wide reset.
 */
#include "charmap/mt.h"

#include "charmap/options.h"

#include <stdio.h>


mt::mt()
	: b(0)
{
	snprintf(str, sizeof(str), "%s", "s-");
}


void
mt::sout()
{
	printf("%s", str);
}


void
mt::nout()
{
	printf("|%s|", str);
}


void
mt::setb(int n)
{
	b = n;
}


int
mt::getb()
{
	return b;
}


void
mt::set2dez(int v)
{
	if (snprintf(str, sizeof(str), "[%d]", v) < 0)
		str[0] = '\0';
}


void
mt::set2hex(int v)
{
	if (snprintf(str, sizeof(str), "[x%2X]", (unsigned)v) < 0)
		str[0] = '\0';
}


void
mt::setStr(char* s)
{
	snprintf(str, sizeof(str), "%s", s);
}


void
mt::SetExt()
{
	snprintf(ext, sizeof(ext), "%s", "-N");
}


// "%c" writes the low eight bits of its argument; the text ends at the first
// zero byte, so a 0 anywhere cuts it there.
void
mt::ud(int c)
{
	str[0] = (char)c;
	str[1] = '\0';
}


void
mt::ud(char c, int d)
{
	str[0] = c;
	str[1] = '-';
	str[2] = (char)d;
	str[3] = '\0';
}


void
mt::ud(int c, int d)
{
	str[0] = (char)c;
	str[1] = (char)d;
	str[2] = '\0';
}


void
mt::ud(int c, int d, int e)
{
	str[0] = (char)c;
	str[1] = (char)d;
	str[2] = (char)e;
	str[3] = '\0';
}


void
mt::Clear()
{
	for (int k = 0; k < 32; k++) {
		this[k].ud(0);
		this[k].setb(0);
	}
	for (int k = 32; k < 256; k++) {
		this[k].ud(k);
		this[k].setb(0);
	}
	SetTab(anz_tab);
	SetNyl(nyl_mod);
	SetExt();
}
