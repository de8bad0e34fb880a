// Containers KIVOR recognises but cannot read yet: each is said once
// ("NAME: ZOO archive, not searched") rather than passed over in silence.
// Pure: bytes in, a format's name out.
#ifndef KIVOR_UNPACK_KNOWN_H_
#define KIVOR_UNPACK_KNOWN_H_

// The name of the container format whose signature the n bytes at b begin
// with, where KIVOR does not read it ("ZOO", ...), or reads it but the
// reader refused it ("StuffIt": damaged); NULL for none.
const char *unpack_known_unread(const unsigned char *b, long n);

#endif  // KIVOR_UNPACK_KNOWN_H_
