/*
 * The character map: one mt entry per source byte value, telling what the
 * converted file receives in its place.
 *
 * A map is a plain array of kMapSize entries indexed by the byte as an
 * unsigned value; entry 256 is a spare no byte reaches. The operations on the
 * whole map are members too: they are invoked on entry 0 and reach entry k as
 * this[k], changing it only through its own virtual operations.
 */
#ifndef CHARMAP_MT_H
#define CHARMAP_MT_H

#include <stdint.h>

class mt {
public:
	mt();

	virtual void sout();
	virtual void nout();
	virtual void setb(int n);
	virtual int getb();
	virtual void set2dez(int v);
	virtual void set2hex(int v);
	virtual void setStr(char* s);
	virtual void SetExt();
	virtual void ud(int c);
	virtual void ud(char c, int d);
	virtual void ud(int c, int d);
	virtual void ud(int c, int d, int e);

	// Map-wide, on entry 0 only.
	virtual void Clear();
	virtual void SetNyl(unsigned long mode);
	virtual void SetTab(unsigned long width);
	virtual void SetHexa();
	virtual void SetDezimal();
	virtual void SetNewline(int style);
	virtual void SetTos();
	virtual void SetMac();
	virtual void SetPc();
	virtual void SetAnsi();
	virtual void SetLatex();

	char str[12]; // replacement text, NUL-terminated; empty drops the byte
	int32_t b;    // source bytes to pass over after this one
	char ext[32]; // file-name suffix of the whole map, entry 0 only
};

const int kMapSize = 257;

#endif // CHARMAP_MT_H
